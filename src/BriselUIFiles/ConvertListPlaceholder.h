#pragma once

#include <QWidget>

#include <memory>

#include "BriselUIFiles/ConvertListHost.h"
#include "toolkit/MessageReceiver.h"

namespace brisel {

class ConvertListCore;

// Stands in for the conversion list window on the share page until that window exists: it
// owns the conversion queue (ConvertListCore), hands the queue's own messages to it and
// shows its message boxes, but draws no rows, only the list's background. UI thread only.
class CConvertListPlaceholder : public QWidget, public MessageReceiver, public ConvertListHost {
  Q_OBJECT

 public:
  // `page` receives the queue's statuses.
  CConvertListPlaceholder(MessageTargetRef page, QWidget* parent);
  ~CConvertListPlaceholder() override;

  ConvertListCore& Core() { return *m_pCore; }

  // ConvertListHost
  void ShowMessageBox(const std::string& text) override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void OnMessage(const Message& message) override;

 private:
  std::unique_ptr<ConvertListCore> m_pCore;
};

}  // namespace brisel
