#pragma once

namespace brisel {

// What the share page's core needs from its window (CRightVideoDlg); tests fake it. Every
// call comes on the UI thread, from inside a RightVideoCore operation.
class RightVideoHost {
 public:
  virtual ~RightVideoHost() = default;

  // The controls changed: which view and which buttons are shown, which are enabled, whether
  // "全选" is ticked (RightVideoCore::Shown, Enabled, CheckAllTicked). Apply and repaint.
  virtual void ControlsChanged() = 0;
  // The LAN status changed (the service address or the connected-phone count): repaint the
  // header.
  virtual void StatusChanged() = 0;
  // The toast of a ToastKind, placed on top of the other windows.
  virtual void ShowToast(int kind) = 0;
  // The video list's file dialog: the chosen files go to VideoWndListCore::AddFromDialog.
  virtual void AddFromDialog() = 0;
};

}  // namespace brisel
