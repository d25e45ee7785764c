#include "TAutoOperationForm.h"

#include <QCheckBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "TParamsPanel.h"
#include "TPlaneViewer.h"
#include "kvFacade/cKvadraSystem.h"
#include "kvRuntime/kvDiagnostics.h"
#include "kvNamedWidget.h"

KV_UNIT("kvForms\\guiAutoOperationForm");

TAutoOperationForm* AutoOperationForm = nullptr;

namespace {
constexpr int TopHeight = 177;
constexpr int DesignWidth = 320;
}  // namespace

TAutoOperationForm::TAutoOperationForm(QWidget* parent) : QDialog(parent, Qt::Tool | Qt::WindowStaysOnTopHint)
{
  if (!AutoOperationForm) AutoOperationForm = this;
  setObjectName("AutoOperationForm");
  setModal(false);
  resize(DesignWidth, 312);

  PreviewAndBtnPanel = Named(new QWidget(this), "PreviewAndBtnPanel");
  PreviewAndBtnPanel->setFixedHeight(TopHeight);
  auto* top = new QHBoxLayout(PreviewAndBtnPanel);
  top->setContentsMargins(4, 4, 0, 4);
  top->setSpacing(4);
  PreviewViewer = Named(new TPlaneViewer(PreviewAndBtnPanel), "PreviewViewer", "Preview");
  PreviewViewer->SetPlaneSize(0, 0);
  PreviewViewer->SetBackColor(QColor(128, 128, 128));
  PreviewViewer->EnableRulers(false);
  PreviewViewer->EnableVertScrollBar(false);
  PreviewViewer->EnableHorzScrollBar(false);
  PreviewViewer->OnVisibleRectDraw = [this](QPainter& canvas, const sViewerInfo& info) { DrawPreview(canvas, info); };
  PreviewViewer->OnPositionChange = [this](TPlaneViewer*) {
    if (!PreviewCheckbox->isChecked()) RunPreview();
  };
  top->addWidget(PreviewViewer, 1);

  BtnPanel = Named(new QFrame(PreviewAndBtnPanel), "BtnPanel");
  BtnPanel->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  BtnPanel->setFixedWidth(143);
  OkBtn = Named(new QPushButton("OK", BtnPanel), "OkBtn");
  OkBtn->setGeometry(9, 9, 125, 21);
  OkBtn->setDefault(true);
  CancelBtn = Named(new QPushButton("Cancel", BtnPanel), "CancelBtn");
  CancelBtn->setGeometry(9, 37, 125, 21);
  PreviewCheckbox = Named(new QCheckBox("Full Preview", BtnPanel), "PreviewCheckbox");
  PreviewCheckbox->setGeometry(9, 65, 125, 20);
  top->addWidget(BtnPanel);
  connect(OkBtn, &QPushButton::clicked, this, &TAutoOperationForm::OkBtnClick);
  connect(CancelBtn, &QPushButton::clicked, this, &TAutoOperationForm::CancelBtnClick);
  connect(PreviewCheckbox, &QCheckBox::clicked, this, &TAutoOperationForm::PreviewCheckboxClick);

  ParamsPanel = new TParamsPanel(this);
  ParamsPanel->OnChange = [this](TParamsPanel*) { RunPreview(); };
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(PreviewAndBtnPanel);
  layout->addWidget(ParamsPanel, 1);
}

TAutoOperationForm::~TAutoOperationForm()
{
  if (AutoOperationForm == this) AutoOperationForm = nullptr;
}

void TAutoOperationForm::Setup(unsigned uid)
{
  OperationUID = uid;
  PreviewCheckbox->setChecked(false);
  cOperationParams* parameters = KvadraSystem->GetOperationParams(uid);
  setWindowTitle(QString::fromLocal8Bit(parameters->GetName().c_str()));
  ParamsPanel->resize(width(), ParamsPanel->height());
  ParamsPanel->Build(*parameters, -1);
  const int height = ParamsPanel->GetHeight() + TopHeight;
  setFixedHeight(height);
  resize(std::max(width(), DesignWidth), height);
  int w = 0, h = 0, channels = 0;
  if (KvadraSystem->GetCurrentImageID() >= 0) {
    KvadraSystem->GetImageSizes(w, h, channels);
    if (PreviewViewer->GetPlaneWidth() != w || PreviewViewer->GetPlaneHeight() != h || !PreviewViewer->IsPlaneSet())
      SetPreviewPlaneSize(w, h);
  }
  RunPreview();
}

void TAutoOperationForm::SetPreviewPlaneSize(int width, int height)
{
  PreviewViewer->SetPlaneSize(width, height);
  const sViewerInfo info = PreviewViewer->GetInfo();
  PreviewRect[0] = info.TexelLeft;
  PreviewRect[1] = info.TexelTop;
  PreviewRect[2] = info.TexelRight;
  PreviewRect[3] = info.TexelBottom;
}

void TAutoOperationForm::RepaintPreview()
{
  PreviewViewer->Repaint();
}

void TAutoOperationForm::RunPreview()
{
  if (OperationUID == 0) return;
  if (KvadraSystem->IsBusy()) KvadraSystem->TerminateOperation();
  ParamsPanel->ApplyTo(*KvadraSystem->GetOperationParams(OperationUID));
  // Without a picture (closed while the dialog stayed open) there is nothing to preview.
  if (KvadraSystem->GetCurrentImageID() < 0) return;
  KV_ASSERT(KvadraSystem->GetResultImage() != nullptr, "theImage!=NULL");
  KvadraSystem->SelectOperation(OperationUID);
  KvadraSystem->SetProcessingRegion(PreviewCheckbox->isChecked(),
                                    sRect{PreviewRect[0], PreviewRect[1], PreviewRect[2], PreviewRect[3]});
  KvadraSystem->SelectedFilterExecute(false);
}

void TAutoOperationForm::SettleWholeImage()
{
  // Setting the flag first stops a run still going.
  KvadraSystem->SetWholeImage(true);
  KvadraSystem->FullPreview(false);
}

void TAutoOperationForm::OkBtnClick()
{
  SettleWholeImage();
  if (OperationUID != 0 && KvadraSystem->GetCurrentImageID() >= 0) {
    ParamsPanel->ApplyTo(*KvadraSystem->GetOperationParams(OperationUID));
    KvadraSystem->SelectOperation(OperationUID);
    KvadraSystem->SelectedFilterExecute(true);
  }
  hide();
}

void TAutoOperationForm::CancelBtnClick()
{
  SettleWholeImage();
  hide();
}

void TAutoOperationForm::reject()
{
  CancelBtnClick();
}

void TAutoOperationForm::PreviewCheckboxClick()
{
  KvadraSystem->FullPreview(PreviewCheckbox->isChecked());
  if (PreviewCheckbox->isChecked()) RunPreview();
}

void TAutoOperationForm::DrawPreview(QPainter& canvas, const sViewerInfo& info)
{
  PreviewRect[0] = info.TexelLeft;
  PreviewRect[1] = info.TexelTop;
  PreviewRect[2] = info.TexelRight;
  PreviewRect[3] = info.TexelBottom;
  // The result image is being rewritten while a run goes: show the last completed picture.
  if (KvadraSystem->IsBusy() || KvadraSystem->GetCurrentImageID() < 0) {
    DrawViewerFrame(canvas, LastFrame);
    return;
  }
  cImage* theImage = KvadraSystem->GetResultImage();
  KV_ASSERT(theImage != nullptr, "theImage!=NULL");
  LastFrame = MakeViewerFrame(theImage->GetSurface(), info);
  DrawViewerFrame(canvas, LastFrame);
}
