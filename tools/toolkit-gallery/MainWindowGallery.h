#pragma once

#include <QImage>
#include <QString>
#include <QWidget>

#include <functional>

namespace brisel {
class CBriselVRClientDlg;
class ShadowSet;
}  // namespace brisel

// The real main window, started in a sample program folder (a few videos, two of them
// converted, and a conversion queue with a task in each state; see MakeSampleLibrary and
// ConvertListView in MainWindowGallery.cpp) without any network traffic, and pictured in each
// registered view.
//
// A view is one function that brings the window into its state and saves its pictures. Add
// one from any file of the tool:
//
//   void ConvertListView(gallery::MainWindowScene& scene) { ...; gallery::Save(..., "..."); }
//   static const bool kConvertListView = gallery::AddMainWindowView("convert-list",
//   ConvertListView);
//
// Views run in the order of their names, each on the same window, so each sets up what it
// shows itself.
namespace gallery {

class MainWindowScene {
 public:
  explicit MainWindowScene(brisel::CBriselVRClientDlg& window, QString programFolder)
      : m_window(window), m_folder(std::move(programFolder)) {}

  brisel::CBriselVRClientDlg& Window() { return m_window; }
  // The sample program folder (config.ini, file_root, videos/, appData/converted/, ...).
  const QString& ProgramFolder() const { return m_folder; }
  // Lets posted messages, timers and workers run for `ms` milliseconds.
  void Settle(int ms = 300);
  // Posts a left-menu page choice (WM_SWITCH_PAGE) through the real menu entry and settles.
  void ChoosePage(int page);
  // The window with its edge shadows on the desktop.
  QImage Picture();
  // The window with `top` (a prompt, a dialog) and its own shadows over it.
  QImage PictureWith(QWidget* top, brisel::ShadowSet* topShadows);

 private:
  brisel::CBriselVRClientDlg& m_window;
  QString m_folder;
};

using MainWindowView = std::function<void(MainWindowScene&)>;

// Registers a view under `name`; true, so it can initialise a static.
bool AddMainWindowView(const char* name, MainWindowView view);

// Makes the sample folder, starts the window in it and runs every view.
void RenderMainWindowViews();

}  // namespace gallery
