#pragma once

#include <QWidget>

namespace brisel {

// The flat progress bar: a FFD6D6D6 border on FFF7F7F7 and a FFEE8E31 fill for the
// position. Like a progress control it keeps a range (0..100 unless set) and a position,
// which is kept inside the range. UI thread only.
class CMyProgressBar : public QWidget {
  Q_OBJECT

 public:
  CMyProgressBar(int id, QWidget* parent);

  void SetRange(int low, int high);
  void SetPos(int position);
  int GetPos() const { return m_nPos; }
  int Low() const { return m_nLow; }
  int High() const { return m_nHigh; }
  // Width of the filled part for a bar of `width` pixels.
  int FillWidth(int width) const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  int m_nLow = 0, m_nHigh = 100, m_nPos = 0;
};

}  // namespace brisel
