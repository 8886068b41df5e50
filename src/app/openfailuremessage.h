#pragma once

class CaptionTexts;
class QMessageBox;
class QUrl;
class QWidget;

// Shows, without blocking the window, that url did not open because no program on the desktop is
// set to open such addresses, with a button that copies the address. The box is a window of its
// own over parent and deletes itself when closed. Main thread.
QMessageBox* ShowOpenFailure(const QUrl& url, const CaptionTexts& texts, QWidget* parent);
