#pragma once

#include <QAbstractButton>
#include <QCursor>
#include <QImage>
#include <QString>

#include <optional>

namespace brisel {

// How a push button lays out its image cell and caption (see CKbcButton::paintEvent).
enum ButtonStyle : int {
  BUTTON_IMAGE_CAPTION = 0,  // toolbar, close and minimise buttons
  BUTTON_IMAGE_ONLY = 1,
  BUTTON_NAVIGATION = 2,     // navigation items (check boxes: no effect there)
  BUTTON_DIALOG = 3,         // 90 x 30 buttons of dialogs
  BUTTON_SMALL_CAPTION = 4,  // small caption buttons scaled from a larger strip
  BUTTON_ICON_LINK = 5,      // icon with a text link
  BUTTON_TEXT_ONLY = 6,
  BUTTON_ICON_CAPTION = 7,  // icon strip with a caption
};

// The colour a button clears its area to before drawing; 0 or an unknown kind clears
// nothing (the parent shows through).
enum BackgroundKind : int {
  BACKGROUND_NONE = 0,
  BACKGROUND_PAGE = 1,     // FFF2F3F3, light pages
  BACKGROUND_LIGHTER = 2,  // FFF8F8F8, toolbars and dialogs
  BACKGROUND_TITLE = 3,    // FF57565B, the dark title band
  BACKGROUND_COLUMN = 4,   // FF3E3D42, the dark navigation column
  BACKGROUND_EEEEEE = 5,
  BACKGROUND_TASK_ROW = 6,  // FFF2F3F3
  BACKGROUND_EAE9E6 = 7,
  BACKGROUND_F7F7F7 = 8,
  BACKGROUND_F1DDCA = 9,
  BACKGROUND_WHITE = 10,
};
std::optional<QRgb> BackgroundKindColour(int kind);

// The skinned button: a push button, check box or radio button drawn from a vertical strip
// of state cells (normal, over, pressed or ticked, disabled), with pointer-over tracking, a
// disabled look that swallows presses, and the hand cursor. objectName is the control id.
//
// Clicks reach the owner as Clicked(id). A check box never toggles itself: the owner calls
// SetChecked(!IsChecked()) in its click handler (and sets every member of a radio group).
// UI thread only.
class CKbcButton : public QAbstractButton {
  Q_OBJECT

 public:
  enum class Mode { Push, CheckBox };

  CKbcButton(int id, QWidget* parent, Mode mode = Mode::Push);

  int Id() const { return m_nId; }

  // Loads the state strip when `path` is not empty (replacing any earlier one) and sets the
  // caption in any case.
  void SetImage(const QString& path, const QString& caption);
  // Size of one state cell and of the button; the button keeps its top-left corner.
  void SetSize(int width, int height);
  // Size of one cell in the image, for the styles that scale a larger strip (4, 5, 7).
  void SetCellSize(int width, int height);
  void SetStyle(int style);
  void SetBackground(int kind);
  // Only in check-box mode; a push button ignores it.
  void SetChecked(bool checked);
  bool IsChecked() const { return m_bChecked; }
  void SetDisabled(bool disabled);
  bool IsDisabled() const { return m_bDisabled; }
  void SetHandCursor(const QCursor& cursor);

  const QString& Caption() const { return m_strCaption; }
  int Style() const { return m_nStyle; }
  int Background() const { return m_nBackground; }
  bool IsCheckBox() const { return m_bCheckBox; }
  bool IsHover() const { return m_bHover; }
  const QImage& Image() const { return m_image; }
  // 2 pressed (or ticked in check-box mode), 1 pointer over, 0 otherwise.
  int StateIndex() const;

 signals:
  void Clicked(int id);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  QSize sizeHint() const override;

 private:
  void PaintCheckBox(QPainter& painter, int k);
  void PaintPush(QPainter& painter, int k);
  void PaintDisabled(QPainter& painter);
  int CellWidth() const { return m_nWidth > 0 ? m_nWidth : width(); }
  int CellHeight() const { return m_nHeight > 0 ? m_nHeight : height(); }

  int m_nId;
  QString m_strCaption;
  int m_nStyle = BUTTON_IMAGE_CAPTION;
  bool m_bDisabled = false;
  bool m_bHover = false;
  bool m_bUseCursor = false;
  int m_nWidth = 0, m_nHeight = 0;
  bool m_bCheckBox = false;
  bool m_bChecked = false;
  QImage m_image;
  int m_nBackground = BACKGROUND_NONE;
  int m_nCellWidth = 0, m_nCellHeight = 0;
};

}  // namespace brisel
