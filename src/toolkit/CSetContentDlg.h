#pragma once

#include <QWidget>

#include <map>

#include "settings/AppSettings.h"

namespace brisel {

class CKbcButton;
class SettingsPageHost;

// Control ids of the settings page.
enum SettingControl : int {
  IDC_SET_MINIMISE = 1005,
  IDC_SET_CLOSE = 1006,
  IDC_SET_CHECK_UPDATE = 1027,  // "检测更新"
  IDC_SET_EXIT_ASK = 1028,
  IDC_SET_AUTO_UPDATE = 1029,
  IDC_SET_KEEP_AWAKE = 1031,  // "有任务时电脑不休眠(推荐开启)"
  IDC_SET_AUTORUN = 1032,
  IDC_SET_CHANGE_FOLDER = 1034,
  IDC_SET_CONVERTED_NOTIFY = 1035,
  IDC_SET_EXIT_HIDE = 1036,
  IDC_SET_OPEN_FOLDER = 1037,
  IDC_SET_EXIT_QUIT = 1038,
  IDC_SET_QUALITY_1080P = 1039,
  IDC_SET_QUALITY_2K = 1040,
  IDC_SET_DELETE_ORIGIN = 1054,
};

// The settings page: the version with "检测更新", the conversion quality (1080P or 2K) and
// the keep-awake option. A change takes effect at once: the page tells its host, which stores
// and saves it; there is no OK step. The controls of the other settings are loaded with their
// values but hidden. UI thread only.
class CSetContentDlg : public QWidget {
  Q_OBJECT

 public:
  // `host` (may be null: the page then shows a record of zeros and tells nobody) must outlive
  // the page.
  CSetContentDlg(SettingsPageHost* host, QWidget* parent);

  // Configures and places every control (image, caption, size, style, cursor, visibility).
  void SetupControls();
  // Copies the host's settings into the page's own copy and ticks the controls from it.
  void ShowCurrentSettings();

  CKbcButton* Button(int id) const;
  const AppSettings& PageSettings() const { return m_settings; }
  // "当前版本：V<major.minor.build> 内测版"
  static QString VersionLabel();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void OnButton(int id);
  void ChooseQuality(int ratio);

  SettingsPageHost* const m_pHost;
  int m_nScrollOffset = 0;
  std::map<int, CKbcButton*> m_buttons;
  AppSettings m_settings;
};

}  // namespace brisel
