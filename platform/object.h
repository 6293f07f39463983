// Base object of the framework stand-in: every polymorphic class of the
// library derives from TObject so that events can carry a `Sender`.
#pragma once

namespace pictavo {

class TObject {
 public:
  virtual ~TObject() = default;
};

}  // namespace pictavo
