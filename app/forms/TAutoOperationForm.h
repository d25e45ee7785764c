#pragma once
// The operation dialog: a live preview of the operation on the visible part of the picture,
// one control per parameter, OK to run it for real, Cancel to leave the history as it was.
#include <QDialog>

#include "DrawSurfaceInViewer.h"

class QCheckBox;
class QFrame;
class QPushButton;
class TParamsPanel;
class TPlaneViewer;

class TAutoOperationForm : public QDialog {
  Q_OBJECT
public:
  explicit TAutoOperationForm(QWidget* parent = nullptr);
  ~TAutoOperationForm() override;

  // Prepares the dialog for one operation and runs the first preview.
  void Setup(unsigned uid);
  unsigned GetOperationUID() const { return OperationUID; }
  // Observer targets.
  void SetPreviewPlaneSize(int width, int height);
  void RepaintPreview();

  QWidget* PreviewAndBtnPanel = nullptr;
  QFrame* BtnPanel = nullptr;
  QPushButton* OkBtn = nullptr;
  QPushButton* CancelBtn = nullptr;
  QCheckBox* PreviewCheckbox = nullptr;
  TPlaneViewer* PreviewViewer = nullptr;
  TParamsPanel* ParamsPanel = nullptr;

public slots:
  void reject() override;

private:
  void RunPreview();
  void OkBtnClick();
  void CancelBtnClick();
  void PreviewCheckboxClick();
  void DrawPreview(QPainter& canvas, const sViewerInfo& info);
  // Stops a run still going and leaves the result image processing the whole picture.
  void SettleWholeImage();

  unsigned OperationUID = 0;
  int PreviewRect[4] = {0, 0, 100, 100};
  sViewerFrame LastFrame;
};

extern TAutoOperationForm* AutoOperationForm;
