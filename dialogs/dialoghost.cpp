#include "dialogs/dialoghost.h"

#include <utility>

namespace pictavo {
namespace {

TPVDialogHost& Host() {
  static TPVDialogHost host;
  return host;
}

}  // namespace

TPVDialogHost PVSetDialogHost(TPVDialogHost host) {
  return std::exchange(Host(), std::move(host));
}

bool PVHasDialogHost() {
  return static_cast<bool>(Host());
}

bool PVRunDialog(TPVDialogModel& dialog) {
  // A copy, so that a host may replace itself while it runs.
  TPVDialogHost host = Host();
  if (!host) return false;
  return host(dialog);
}

}  // namespace pictavo
