#include "BriselUIFiles/ConvertListPlaceholder.h"

#include <QMessageBox>
#include <QPainter>

#include "BriselUIFiles/ConvertListCore.h"
#include "toolkit/SkinPainting.h"

namespace brisel {

CConvertListPlaceholder::CConvertListPlaceholder(MessageTargetRef page, QWidget* parent)
    : QWidget(parent) {
  setObjectName(QStringLiteral("ConvertList"));
  m_pCore = std::make_unique<ConvertListCore>(Target(), std::move(page), this);
  m_pCore->LoadQueueFile();
  m_pCore->Relayout();
}

// The queue goes first: it stops and joins a running transcoder.
CConvertListPlaceholder::~CConvertListPlaceholder() { m_pCore.reset(); }

void CConvertListPlaceholder::ShowMessageBox(const std::string& text) {
  QMessageBox::information(this, QStringLiteral("BriselVR助手"), QString::fromStdString(text));
}

void CConvertListPlaceholder::paintEvent(QPaintEvent*) {
  QPainter(this).fillRect(rect(), QColor::fromRgba(skin::kPage));
}

void CConvertListPlaceholder::resizeEvent(QResizeEvent*) { m_pCore->SetClientHeight(height()); }

void CConvertListPlaceholder::OnMessage(const Message& message) { m_pCore->HandleMessage(message); }

}  // namespace brisel
