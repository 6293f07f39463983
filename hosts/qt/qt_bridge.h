// The bridge between the library's application object and Qt: runs the
// application's posted messages, synchronised steps and timers inside the
// Qt event loop (woken from any thread), shows TForm models as modal
// dialogs, the picture dialogs as their Qt forms (dialog_forms.h) and
// message boxes with QMessageBox, bridges the CF_DIB clipboard to
// QClipboard both ways, and maps the library's cursors to QCursor.
#pragma once

#include <QCursor>
#include <QImage>
#include <cstdint>
#include <vector>

#include "platform/control.h"

namespace pictavo::qt {

class PictavoHostWidget;

// Installs the bridge once (needs a QApplication); later calls do nothing.
// The application switches to the real clock.
void InstallQtBridge();
// Removes the modal, message and clipboard handlers again.
void UninstallQtBridge();

// Runs the application's queue now and schedules the next timer.
void PumpApplication();

// The QCursor of a library cursor: standard cursors map to Qt's shapes,
// others are built from the screen's cursor table (image, mask, hot spot).
QCursor QtCursor(TCursor cursor);

// Hosts that show the cursor when the screen's cursor changes.
void RegisterHost(PictavoHostWidget* host);
void UnregisterHost(PictavoHostWidget* host);

// Converts a packed DIB to a QImage and back (through the BMP reader and
// writer of Qt, so every DIB layout Qt reads is accepted).
QImage ImageFromDIB(const uint8_t* data, size_t size);
std::vector<uint8_t> DIBFromImage(const QImage& image);

}  // namespace pictavo::qt
