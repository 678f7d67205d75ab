#include "toolkit/CKbcButton.h"

#include <QMouseEvent>
#include <QPainter>

#include "toolkit/SkinPainting.h"
#include "toolkit/SkinResources.h"

namespace brisel {

namespace {

const QString kRunHidden = QStringLiteral("后台运行");
const QString kQuitFully = QStringLiteral("完全退出");
const QString kPinTop = QStringLiteral("置顶");
const QString kCancel = QStringLiteral("取消");

}  // namespace

std::optional<QRgb> BackgroundKindColour(int kind) {
  switch (kind) {
    case BACKGROUND_PAGE:
      return 0xFFF2F3F3;
    case BACKGROUND_LIGHTER:
      return 0xFFF8F8F8;
    case BACKGROUND_TITLE:
      return 0xFF57565B;
    case BACKGROUND_COLUMN:
      return 0xFF3E3D42;
    case BACKGROUND_EEEEEE:
      return 0xFFEEEEEE;
    case BACKGROUND_TASK_ROW:
      return 0xFFF2F3F3;
    case BACKGROUND_EAE9E6:
      return 0xFFEAE9E6;
    case BACKGROUND_F7F7F7:
      return 0xFFF7F7F7;
    case BACKGROUND_F1DDCA:
      return 0xFFF1DDCA;
    case BACKGROUND_WHITE:
      return 0xFFFFFFFF;
    default:
      return std::nullopt;
  }
}

CKbcButton::CKbcButton(int id, QWidget* parent, Mode mode)
    : QAbstractButton(parent), m_nId(id), m_bCheckBox(mode == Mode::CheckBox) {
  setObjectName(QString::number(id));
  setFocusPolicy(Qt::NoFocus);
  setAttribute(Qt::WA_Hover, false);
  connect(this, &QAbstractButton::clicked, this, [this] { emit Clicked(m_nId); });
}

void CKbcButton::SetImage(const QString& path, const QString& caption) {
  if (!path.isEmpty()) m_image = LoadSkinImage(path);
  m_strCaption = caption;
  setText(caption);
  update();
}

void CKbcButton::SetSize(int width, int height) {
  m_nWidth = width;
  m_nHeight = height;
  resize(width, height);
  update();
}

void CKbcButton::SetCellSize(int width, int height) {
  m_nCellWidth = width;
  m_nCellHeight = height;
  update();
}

void CKbcButton::SetStyle(int style) {
  m_nStyle = style;
  update();
}

void CKbcButton::SetBackground(int kind) {
  m_nBackground = kind;
  update();
}

void CKbcButton::SetChecked(bool checked) {
  if (!m_bCheckBox) return;
  m_bChecked = checked;
  update();
}

void CKbcButton::SetDisabled(bool disabled) {
  m_bDisabled = disabled;
  if (disabled) setDown(false);
  update();
}

void CKbcButton::SetHandCursor(const QCursor& cursor) {
  m_bUseCursor = true;
  setCursor(cursor);
}

int CKbcButton::StateIndex() const {
  if (isDown() || (m_bCheckBox && m_bChecked)) return 2;
  return m_bHover ? 1 : 0;
}

QSize CKbcButton::sizeHint() const { return QSize(CellWidth(), CellHeight()); }

void CKbcButton::enterEvent(QEnterEvent*) {
  m_bHover = true;
  update();
}

void CKbcButton::leaveEvent(QEvent*) {
  m_bHover = false;
  update();
}

void CKbcButton::hideEvent(QHideEvent*) {
  // A button hidden under the pointer gets no leave; it must not come back in the over look.
  m_bHover = false;
}

void CKbcButton::mousePressEvent(QMouseEvent* event) {
  if (m_bDisabled) {
    event->accept();  // swallowed: no press, so no click
    return;
  }
  QAbstractButton::mousePressEvent(event);
}

void CKbcButton::mouseDoubleClickEvent(QMouseEvent* event) { mousePressEvent(event); }

void CKbcButton::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (auto colour = BackgroundKindColour(m_nBackground))
    painter.fillRect(rect(), QColor::fromRgba(*colour));
  if (m_bCheckBox) {
    PaintCheckBox(painter, StateIndex());
  } else if (m_bDisabled) {
    PaintDisabled(painter);
  } else {
    PaintPush(painter, StateIndex());
  }
}

void CKbcButton::PaintCheckBox(QPainter& painter, int k) {
  const bool selected = k == 2;
  // A labelled box on a light page or a light band (the share page's footer).
  if (m_nBackground == BACKGROUND_PAGE || m_nBackground == BACKGROUND_LIGHTER) {
    DrawImageCell(painter, QRect(2, 2, 14, 14), m_image, QRect(0, 14 * k, 14, 14));
    DrawSkinText(painter, QRect(20, -2, width() - 15, height()), m_strCaption, SkinFont(14),
                 skin::kCheckLabel);
    return;
  }
  const int w = CellWidth(), h = CellHeight();
  DrawImageCell(painter, QRect(0, 0, w, h), m_image, QRect(0, k * h, w, h));
  if (m_nBackground == BACKGROUND_COLUMN) {
    DrawSkinText(painter, QRect(66, 12, 80, 25), m_strCaption, SkinFont(16),
                 selected ? skin::kWhite : skin::kNavText);
  }
}

void CKbcButton::PaintDisabled(QPainter& painter) {
  const int w = CellWidth(), h = CellHeight();
  const int length = m_strCaption.length();
  switch (m_nStyle) {
    case BUTTON_DIALOG:
      DrawImageCell(painter, QRect(0, 0, w, h), m_image, QRect(0, 90, 90, 30));
      if (length == 2 || length == 4) {
        QRect box = length == 2 ? QRect(28, 4, 40, 25) : QRect(14, 4, 70, 25);
        DrawSkinText(painter, box, m_strCaption, SkinFont(14), skin::kDisabledText);
      }
      break;
    case BUTTON_SMALL_CAPTION:
      DrawImageCell(painter, QRect(0, 0, w, h), m_image,
                    QRect(0, 3 * m_nCellHeight, m_nCellWidth, m_nCellHeight));
      if (length == 2 || length == 4)
        DrawSkinText(painter, QRect(length == 2 ? 21 : 9, 5, w, h), m_strCaption, SkinFont(12),
                     skin::kGreyText);
      break;
    default:
      DrawImageCell(painter, QRect(0, 0, w, h), m_image, QRect(0, 3 * h, w, h));
      if (m_nStyle == BUTTON_IMAGE_CAPTION && !m_strCaption.isEmpty())
        DrawSkinText(painter, QRect(25, 4, 40, 25), m_strCaption, SkinFont(14),
                     skin::kDisabledText);
      break;
  }
}

void CKbcButton::PaintPush(QPainter& painter, int k) {
  const int w = CellWidth(), h = CellHeight();
  const int cw = m_nCellWidth, ch = m_nCellHeight;
  const int length = m_strCaption.length();
  const QRgb normalOrWhite = k == 0 ? skin::kGreyText : skin::kWhite;
  switch (m_nStyle) {
    case BUTTON_IMAGE_CAPTION:
      DrawImageCell(painter, QRect(0, 0, w, h), m_image, QRect(0, k * h, w, h));
      DrawSkinText(painter, QRect(25, 4, 40, 25), m_strCaption, SkinFont(14), normalOrWhite);
      break;
    case BUTTON_DIALOG: {
      DrawImageCell(painter, QRect(0, 0, w, h), m_image, QRect(0, 30 * k, 90, 30));
      if (length != 2 && length != 4) break;
      QRgb colour = skin::kWhite;
      if (length == 2 && k == 0) colour = skin::kGreyText;
      if (length == 4 && k != 2 && m_strCaption != kRunHidden) colour = skin::kGreyText;
      QRect box = length == 2 ? QRect(28, 4, 40, 25) : QRect(14, 4, 70, 25);
      DrawSkinText(painter, box, m_strCaption, SkinFont(14), colour);
      break;
    }
    case BUTTON_SMALL_CAPTION:
      DrawImageCell(painter, QRect(0, 0, w, h), m_image, QRect(0, k * ch, cw, ch));
      if (length == 2 || length == 4)
        DrawSkinText(painter, QRect(length == 2 ? 21 : 9, 5, w, h), m_strCaption, SkinFont(12),
                     normalOrWhite);
      break;
    case BUTTON_ICON_LINK:
      DrawImageCell(painter, QRect(0, 0, cw, ch), m_image, QRect(0, k > 0 ? ch : 0, cw, ch));
      DrawSkinText(painter, QRect(cw + 1, 0, width() - cw, height()), m_strCaption, SkinFont(12),
                   k == 0 ? skin::kGreyText : skin::kAmber);
      break;
    case BUTTON_TEXT_ONLY: {
      const Qt::Alignment centred = Qt::AlignHCenter | Qt::AlignVCenter;
      if (m_strCaption == kQuitFully) {
        DrawSkinText(painter, QRect(0, 0, width(), height()), m_strCaption, SkinFont(14),
                     k == 2 ? skin::kAmberPressed : skin::kAmber, centred);
        break;
      }
      QRgb colour = k == 0 ? skin::kGreyText : k == 1 ? skin::kAmber : skin::kAmberPressed;
      if (m_strCaption == kPinTop) colour = skin::kPinBlue;
      DrawSkinText(painter, QRect(0, 3, width(), height()), m_strCaption, SkinFont(12), colour,
                   centred);
      break;
    }
    case BUTTON_ICON_CAPTION: {
      DrawImageCell(painter, QRect(0, 0, w, h), m_image, QRect(0, k * ch, cw, ch));
      const int x = m_strCaption == kCancel ? 15 : 25;
      DrawSkinText(painter, QRect(x, 4, width() - x, height()), m_strCaption, SkinFont(14),
                   normalOrWhite);
      break;
    }
    default:  // image only (styles 1 and 2 and unknown styles)
      DrawImageCell(painter, QRect(0, 0, w, h), m_image, QRect(0, k * h, w, h));
      break;
  }
}

}  // namespace brisel
