#include "TKvadraMainForm.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QDockWidget>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPainter>
#include <QProgressBar>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <cmath>

#include "DrawSurfaceInViewer.h"
#include "TActionManagerHelper.h"
#include "TAnalyzerForm.h"
#include "TComparePage.h"
#include "TGlyphs.h"
#include "TImprovedSpinEdit.h"
#include "TPlaneViewer.h"
#include "kvFacade/cKvadraSystem.h"
#include "kvRuntime/kvDiagnostics.h"
#include "kvRuntime/kvInstallPaths.h"
#include "kvKernelText.h"
#include "kvNamedWidget.h"

KV_UNIT("kvForms\\guiKvadraMainForm");

TKvadraMainForm* KvadraMainForm = nullptr;

namespace {
// Operation names are shown as they are: an ampersand in a name is not an accelerator.
QString MenuText(const QString& text)
{
  QString escaped = text;
  escaped.replace("&", "&&");
  return escaped;
}

// The spectrum the frequency page's chooser names: magnitude first, then phase.
SpectrumType SpectrumKind(const QComboBox& chooser)
{
  return chooser.currentIndex() == 0 ? stMagnitude : stPhase;
}

const char* const UidProperty = "kvUid";
}  // namespace

QString BuildDateText()
{
  // __DATE__ is "Mmm dd yyyy" with a blank instead of a leading zero.
  return QString::fromLatin1(__DATE__).simplified();
}

TKvadraMainForm::TKvadraMainForm(QWidget* parent) : QMainWindow(parent)
{
  if (!KvadraMainForm) KvadraMainForm = this;
  setObjectName("KvadraMainForm");
  setWindowTitle("Kvadra 2 - beta (" + BuildDateText() + ")");
  resize(525, 506);
  setAcceptDrops(true);
  CreateActions();
  CreateMenus();
  CreateToolBar();
  CreatePages();
  CreateBottomPanel();

  // The rulers start hidden; the spatial page is shown.
  RulersAction->setChecked(false);
  SpatialViewer->EnableRulers(false);
  FrequencyViewer->EnableRulers(false);
  Pages->setCurrentWidget(SpatialSheet);
  SpatialDomain->setChecked(true);
  setDockOptions(QMainWindow::AnimatedDocks | QMainWindow::AllowNestedDocks);
  UpdateActions();
}

TKvadraMainForm::~TKvadraMainForm()
{
  if (KvadraMainForm == this) KvadraMainForm = nullptr;
}

QAction* TKvadraMainForm::NewAction(const QString& objectName, const QString& category, const QString& caption)
{
  auto* action = new QAction(caption, this);
  action->setObjectName(objectName);
  TActionManagerHelper::SetCategory(action, category);
  action->setProperty(UidProperty, 0u);
  return action;
}

QAction* TKvadraMainForm::NewOperationAction(const QString& objectName, const QString& category, const QString& caption)
{
  QAction* action = NewAction(objectName, category, caption);
  OperationActionList.append(action);
  return action;
}

void TKvadraMainForm::CreateActions()
{
  CreateFileActions();
  CreateEditActions();
  CreateZoomActions();
  CreateWindowActions();
  CreateDomainActions();
  CreateOperationActions();
}

void TKvadraMainForm::CreateFileActions()
{
  OpenImageAction = NewAction("OpenImageAction", "File", "&Open image");
  OpenImageAction->setIcon(TGlyphs::Get(TGlyphs::gOpen));
  OpenImageAction->setShortcut(QKeySequence::Open);
  connect(OpenImageAction, &QAction::triggered, this, &TKvadraMainForm::OpenImageActionExecute);

  SaveImageAsAction = NewAction("SaveImageAsAction", "File", "&Save image as...");
  SaveImageAsAction->setIcon(TGlyphs::Get(TGlyphs::gSave));
  SaveImageAsAction->setShortcut(QKeySequence("Ctrl+Shift+S"));
  connect(SaveImageAsAction, &QAction::triggered, this, &TKvadraMainForm::SaveImageAsActionExecute);

  CloseImageAction = NewAction("CloseImageAction", "File", "&Close image");
  CloseImageAction->setIcon(TGlyphs::Get(TGlyphs::gClose));
  CloseImageAction->setShortcut(QKeySequence("Ctrl+W"));
  connect(CloseImageAction, &QAction::triggered, this, &TKvadraMainForm::CloseImageActionExecute);

  PreferencesAction = NewAction("PreferencesAction", "File", "&Preferences...");
  PreferencesAction->setIcon(TGlyphs::Get(TGlyphs::gPreferences));
  PreferencesAction->setMenuRole(QAction::NoRole);
  connect(PreferencesAction, &QAction::triggered, this, [this] {
    if (ShowPreferences) ShowPreferences();
  });

  ExitAction = NewAction("ExitAction", "File", "&Exit");
  ExitAction->setShortcut(QKeySequence("Ctrl+Q"));
  ExitAction->setMenuRole(QAction::NoRole);
  connect(ExitAction, &QAction::triggered, this, &QWidget::close);
}

void TKvadraMainForm::CreateEditActions()
{
  UndoAction = NewAction("UndoAction", "Edit", "&Undo");
  UndoAction->setIcon(TGlyphs::Get(TGlyphs::gUndo));
  UndoAction->setShortcut(QKeySequence::Undo);
  connect(UndoAction, &QAction::triggered, this, [] { KvadraSystem->Undo(); });

  // No behaviour behind it yet, so it stays disabled.
  NewOriginAction = NewAction("NewOriginAction", "Edit", "&Set new origin");
  NewOriginAction->setIcon(TGlyphs::Get(TGlyphs::gSetOrigin));
  NewOriginAction->setEnabled(false);
}

void TKvadraMainForm::CreateZoomActions()
{
  ZoomInAction = NewAction("ZoomInAction", "View", "&Zoom in");
  ZoomInAction->setIcon(TGlyphs::Get(TGlyphs::gZoomIn));
  ZoomInAction->setShortcuts({QKeySequence("Ctrl++"), QKeySequence("Ctrl+=")});
  connect(ZoomInAction, &QAction::triggered, this, [this] { ZoomActionExecute(eZoomStep::In); });

  ZoomOutAction = NewAction("ZoomOutAction", "View", "Z&oom out");
  ZoomOutAction->setIcon(TGlyphs::Get(TGlyphs::gZoomOut));
  ZoomOutAction->setShortcut(QKeySequence("Ctrl+-"));
  connect(ZoomOutAction, &QAction::triggered, this, [this] { ZoomActionExecute(eZoomStep::Out); });

  ZoomToFitAction = NewAction("ZoomToFitAction", "View", "Zoom to &fit");
  connect(ZoomToFitAction, &QAction::triggered, this, [this] { ZoomActionExecute(eZoomStep::Fit); });
  ActualSizeAction = NewAction("ActualSizeAction", "View", "&Actual size");
  connect(ActualSizeAction, &QAction::triggered, this, [this] { ZoomActionExecute(eZoomStep::ActualSize); });
}

// The about box, the analyzer and the rulers: windows and parts of one shown on demand.
void TKvadraMainForm::CreateWindowActions()
{
  AboutAction = NewAction("AboutAction", "Help", "&About...");
  AboutAction->setMenuRole(QAction::NoRole);
  connect(AboutAction, &QAction::triggered, this, [this] {
    if (ShowAbout) ShowAbout();
  });

  StartAnalyzerAction = NewAction("StartAnalyzerAction", "File", "S&tart analyzer");
  StartAnalyzerAction->setIcon(TGlyphs::Get(TGlyphs::gAnalyzer));
  connect(StartAnalyzerAction, &QAction::triggered, this, [this] {
    KvadraSystem->EnterAnalyzerMode();
    if (ShowAnalyzer) ShowAnalyzer();
  });

  RulersAction = NewAction("RulersAction", "View", "&Rulers");
  RulersAction->setCheckable(true);
  connect(RulersAction, &QAction::triggered, this, &TKvadraMainForm::RulersActionExecute);
}

void TKvadraMainForm::CreateDomainActions()
{
  DomainGroup = new QActionGroup(this);
  SpatialDomain = NewAction("SpatialDomain", "Domain", "&Spatial Domain");
  FreqDomain = NewAction("FreqDomain", "Domain", "&Frequency Domain");
  CompareDomain = NewAction("CompareDomain", "Domain", "&Compare");
  for (QAction* domain : {SpatialDomain, FreqDomain, CompareDomain}) {
    domain->setCheckable(true);
    DomainGroup->addAction(domain);
  }
  connect(CompareDomain, &QAction::triggered, this, [this] { Pages->setCurrentWidget(ComparePage); });
  connect(SpatialDomain, &QAction::triggered, this, [this] { Pages->setCurrentIndex(0); });
  connect(FreqDomain, &QAction::triggered, this, [this] {
    Pages->setCurrentIndex(1);
    FrequencyViewer->Repaint();
  });
}

void TKvadraMainForm::CreateOperationActions()
{
  Rotate90CWAction = NewOperationAction("Rotate90CWAction", "Rotate", "&Rotate 90 CW");
  Rotate90CCWAction = NewOperationAction("Rotate90CCWAction", "Rotate", "R&otate 90 CCW");
  Rotate180Action = NewOperationAction("Rotate180Action", "Rotate", "Ro&tate 180");
  FlipVerticalAction = NewOperationAction("FlipVerticalAction", "Flip", "&Flip Vertical");
  FlipHorizontalAction = NewOperationAction("FlipHorizontalAction", "Flip", "F&lip Horizontal");
  InvertAction = NewOperationAction("InvertAction", "Image", "&Invert");
  DesaturateAction = NewOperationAction("DesaturateAction", "Image", "&Desaturate");
  ResizeAction = NewOperationAction("ResizeAction", "Image", "&Resize");
  connect(ResizeAction, &QAction::triggered, this, &TKvadraMainForm::ResizeActionExecute);
}

void TKvadraMainForm::CreateMenus()
{
  ActionMainMenuBar = menuBar();
  ActionMainMenuBar->setObjectName("ActionMainMenuBar");

  QMenu* file = ActionMainMenuBar->addMenu("&File");
  file->addActions({OpenImageAction, SaveImageAsAction, CloseImageAction});
  file->addSeparator();
  file->addAction(StartAnalyzerAction);
  file->addSeparator();
  file->addAction(PreferencesAction);
  file->addSeparator();
  file->addAction(ExitAction);

  QMenu* edit = ActionMainMenuBar->addMenu("E&dit");
  edit->addAction(UndoAction);
  edit->addSeparator();
  edit->addAction(NewOriginAction);

  QMenu* image = ActionMainMenuBar->addMenu("&Image");
  QMenu* flip = image->addMenu("&Flip");
  flip->addActions({FlipVerticalAction, FlipHorizontalAction});
  QMenu* rotate = image->addMenu("R&otate");
  rotate->addActions({Rotate90CWAction, Rotate90CCWAction, Rotate180Action});
  image->addSeparator();
  image->addAction(ResizeAction);
  image->addSeparator();
  image->addActions({DesaturateAction, InvertAction});

  QMenu* view = ActionMainMenuBar->addMenu("&View");
  QMenu* domain = view->addMenu("&Domain");
  domain->addActions({SpatialDomain, FreqDomain, CompareDomain});
  view->addSeparator();
  view->addActions({ZoomInAction, ZoomOutAction, ZoomToFitAction, ActualSizeAction});
  view->addSeparator();
  view->addAction(RulersAction);

  QMenu* help = ActionMainMenuBar->addMenu("&Help");
  help->addAction(AboutAction);

  // The plug-in menus go directly after "&Image".
  QAction* baseItem = TActionManagerHelper::FindItemByCaption(ActionMainMenuBar, "&Image");
  KV_ASSERT(baseItem != nullptr, "BaseItem != NULL");
  FiltersItem = new QMenu("Filters", ActionMainMenuBar);
  NoisesItem = new QMenu("Noises", ActionMainMenuBar);
  CompressionItem = new QMenu("Compression", ActionMainMenuBar);
  FiltersItem->setObjectName("FiltersItem");
  NoisesItem->setObjectName("NoisesItem");
  CompressionItem->setObjectName("CompressionItem");
  ActionMainMenuBar->insertMenu(view->menuAction(), FiltersItem);
  ActionMainMenuBar->insertMenu(view->menuAction(), NoisesItem);
  ActionMainMenuBar->insertMenu(view->menuAction(), CompressionItem);
}

void TKvadraMainForm::CreateToolBar()
{
  ActionToolBar = addToolBar("Tool bar");
  ActionToolBar->setObjectName("ActionToolBar");
  ActionToolBar->setMovable(false);
  ActionToolBar->setFloatable(false);
  ActionToolBar->setIconSize(QSize(20, 20));
  ActionToolBar->setToolButtonStyle(Qt::ToolButtonIconOnly);
  ActionToolBar->addActions({OpenImageAction, SaveImageAsAction});
  ActionToolBar->addSeparator();
  ActionToolBar->addActions({ZoomInAction, ZoomOutAction});
  ActionToolBar->addSeparator();
  ActionToolBar->addAction(UndoAction);
  ActionToolBar->addSeparator();
  ActionToolBar->addAction(StartAnalyzerAction);
  auto* spacer = new QWidget(ActionToolBar);
  spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
  ActionToolBar->addWidget(spacer);
  CloseImageButton = Named(new QToolButton(ActionToolBar), "CloseImageButton");
  CloseImageButton->setDefaultAction(CloseImageAction);
  CloseImageButton->setAutoRaise(true);
  CloseImageButton->setFixedSize(24, 24);
  CloseImageButton->setToolButtonStyle(Qt::ToolButtonIconOnly);
  ActionToolBar->addWidget(CloseImageButton);
  auto* margin = new QWidget(ActionToolBar);
  margin->setFixedWidth(8);
  ActionToolBar->addWidget(margin);
}

void TKvadraMainForm::CreatePages()
{
  Pages = Named(new QStackedWidget(this), "Pages");
  setCentralWidget(Pages);

  SpatialSheet = Named(new QWidget(Pages), "SpatialSheet");
  auto* spatialLayout = new QVBoxLayout(SpatialSheet);
  spatialLayout->setContentsMargins(3, 3, 3, 3);
  SpatialViewer = Named(new TPlaneViewer(SpatialSheet), "SpatialViewer", "Spatial viewer");
  spatialLayout->addWidget(SpatialViewer);

  FreqSheet = Named(new QWidget(Pages), "FreqSheet");
  auto* freqLayout = new QVBoxLayout(FreqSheet);
  freqLayout->setContentsMargins(3, 3, 3, 3);
  freqLayout->setSpacing(2);
  FrequencyViewer = Named(new TPlaneViewer(FreqSheet), "FrequencyViewer", "Frequency viewer");
  freqLayout->addWidget(FrequencyViewer, 1);

  SpecPanel = Named(new QWidget(FreqSheet), "SpecPanel");
  auto* specLayout = new QHBoxLayout(SpecPanel);
  specLayout->setContentsMargins(0, 0, 0, 0);
  MagPhBox = Named(new QComboBox(SpecPanel), "MagPhBox", "Spectrum kind");
  MagPhBox->addItems({"Magnitude spectrum", "Phase spectrum"});
  MagPhBox->setCurrentIndex(0);
  MagPhBox->setFixedWidth(169);
  specLayout->addWidget(MagPhBox);
  SpectrumScaleEdit = Named(new TImprovedSpinEdit(SpecPanel), "SpectrumScaleEdit");
  SpectrumScaleEdit->SetAccessibleName("Spectrum scale");
  SpectrumScaleEdit->SetValue(30);
  SpectrumScaleEdit->SetPrecision(0);
  SpectrumScaleEdit->SetMinValue(0);
  SpectrumScaleEdit->SetMaxValue(30);
  SpectrumScaleEdit->SetValue(15);
  specLayout->addWidget(SpectrumScaleEdit, 1);
  freqLayout->addWidget(SpecPanel);
  connect(MagPhBox, &QComboBox::currentIndexChanged, this, &TKvadraMainForm::SpectrumParamsChange);
  connect(SpectrumScaleEdit, &TImprovedSpinEdit::Apply, this, &TKvadraMainForm::SpectrumParamsChange);

  Pages->addWidget(SpatialSheet);
  Pages->addWidget(FreqSheet);
  ComparePage = Named(new TComparePage(Pages), "ComparePage");
  Pages->addWidget(ComparePage);
  ComparePage->ShowPixelText = [this](const QString& text) { PixelPanel->setText(text); };
  connect(ComparePage->ViewerB, &TPlaneViewer::ZoomChanged, this, [this](int zoom) {
    if (Pages->currentWidget() == ComparePage) ShowZoom(zoom);
  });

  for (TPlaneViewer* viewer : {SpatialViewer, FrequencyViewer}) {
    viewer->SetPlaneSize(0, 0);
    viewer->SetBackColor(QColor(128, 128, 128));
    viewer->EnableVertScrollBar(true);
    viewer->EnableHorzScrollBar(true);
    viewer->EnableRulers(true);
    connect(viewer, &TPlaneViewer::ZoomChanged, this, [this, viewer](int zoom) {
      if (viewer == ShownViewer()) ShowZoom(zoom);
    });
    const bool frequency = viewer == FrequencyViewer;
    connect(viewer, &TPlaneViewer::PlanePointHovered, this,
            [this, frequency](bool inside, int x, int y) { ShowPixel(frequency, inside, x, y); });
  }
  SpatialViewer->OnVisibleRectDraw = [this](QPainter& canvas, const sViewerInfo& info) { DrawSpatial(canvas, info); };
  FrequencyViewer->OnVisibleRectDraw = [this](QPainter& canvas, const sViewerInfo& info) {
    DrawFrequency(canvas, info);
  };
  connect(Pages, &QStackedWidget::currentChanged, this, [this] { ShowZoom(ShownViewer()->GetZoom()); });
}

void TKvadraMainForm::CreateBottomPanel()
{
  // A fixed bar under the viewers and the dock area: the progress bar above the status bar.
  auto* bottomBar = new QToolBar("Status", this);
  bottomBar->setObjectName("BottomBar");
  bottomBar->setMovable(false);
  bottomBar->setFloatable(false);
  bottomBar->toggleViewAction()->setVisible(false);
  addToolBar(Qt::BottomToolBarArea, bottomBar);

  BottomPanel = Named(new QWidget(bottomBar), "BottomPanel");
  auto* layout = new QVBoxLayout(BottomPanel);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(1);
  ProgressBar = Named(new QProgressBar(BottomPanel), "ProgressBar", "Progress");
  ProgressBar->setRange(0, 100);
  ProgressBar->setValue(0);
  ProgressBar->setTextVisible(false);
  ProgressBar->setFixedHeight(12);
  layout->addWidget(ProgressBar);

  StatusBar = Named(new QStatusBar(BottomPanel), "StatusBar");
  StatusBar->setSizeGripEnabled(false);
  ZoomPanel = Named(new QLabel("100%", StatusBar), "ZoomPanel");
  ZoomPanel->setAlignment(Qt::AlignCenter);
  ZoomPanel->setMinimumWidth(50);
  StatusPanel = Named(new QLabel(StatusBar), "StatusPanel");
  StatusPanel->setMinimumWidth(50);
  PixelPanel = Named(new QLabel(StatusBar), "PixelPanel");
  PixelPanel->setMinimumWidth(160);
  StatusBar->addWidget(ZoomPanel);
  StatusBar->addWidget(StatusPanel, 1);
  StatusBar->addPermanentWidget(PixelPanel);
  layout->addWidget(StatusBar);
  bottomBar->addWidget(BottomPanel);
}

// --- Routines for the observers ---

void TKvadraMainForm::SetStatusText(const QString& text)
{
  StatusPanel->setText(text);
}

void TKvadraMainForm::UpdateActions()
{
  const bool hasImage = KvadraSystem && KvadraSystem->GetCurrentImageID() != -1;
  const bool hasHistory = KvadraSystem && KvadraSystem->SavedImageCount() > 1;
  const bool grey = hasImage && KvadraSystem->GetImage(0)->GetChannelsCount() == 1;
  for (QAction* action : OperationActionList) {
    const unsigned uid = action->property(UidProperty).toUInt();
    if (uid == 0) continue;
    action->setEnabled(hasImage && !(grey && KvadraSystem->GetRGBOnly(uid)));
  }
  for (QAction* action : {ZoomInAction, ZoomOutAction, ZoomToFitAction, ActualSizeAction, CloseImageAction,
                          SaveImageAsAction, StartAnalyzerAction, RulersAction})
    action->setEnabled(hasImage);
  MagPhBox->setEnabled(hasImage);
  SpectrumScaleEdit->setEnabled(hasImage);
  UndoAction->setEnabled(hasHistory);
  ComparePage->Refresh();
  // Resizing needs a picture to take its size from.
  ResizeAction->setEnabled(hasImage);
  // An analyzer experiment is using the kernel: nothing may run, load, close or undo meanwhile.
  OpenImageAction->setEnabled(!ExperimentRunning);
  PreferencesAction->setEnabled(!ExperimentRunning);
  if (ExperimentRunning) {
    for (QAction* action : OperationActionList)
      if (action->property(UidProperty).toUInt() != 0) action->setEnabled(false);
    for (QAction* action : {SaveImageAsAction, CloseImageAction, UndoAction, StartAnalyzerAction, ResizeAction})
      action->setEnabled(false);
  }
}

void TKvadraMainForm::SetExperimentRunning(bool running)
{
  ExperimentRunning = running;
  UpdateActions();
  if (!running && CloseAfterExperiment) QTimer::singleShot(0, this, &QWidget::close);
}

void TKvadraMainForm::AddOperationItem(unsigned uid)
{
  std::string group, name, type;
  KvadraSystem->GetOperationGroupAndName(uid, group, name, type);
  AddOperationItem(uid, FromKernel(group), FromKernel(name), FromKernel(type));
}

void TKvadraMainForm::AddOperationItem(unsigned uid, const QString& group, const QString& name, const QString& type)
{
  QMenu* item = nullptr;
  if (type == "otFilter")
    item = FiltersItem;
  else if (type == "otNoise")
    item = NoisesItem;
  else if (type == "otCompress")
    item = CompressionItem;
  else if (type == "otBuiltIn") {
    AttachBuiltInOperation(uid, name);
    return;
  }
  KV_ASSERT(item != nullptr, "Item != NULL");

  if (group != "None") {
    QMenu* groupMenu = nullptr;
    for (QAction* sub : item->actions())
      if (sub->menu() && TActionManagerHelper::StripAccelerator(sub->text()) == group) groupMenu = sub->menu();
    // The group's caption keeps its accelerator, so "&Group" and "Group" are one submenu.
    if (!groupMenu) groupMenu = item->addMenu(group);
    item = groupMenu;
  }
  QAction* action = NewOperationAction(QString("OperationAction%1").arg(uid), item->title(), name);
  action->setProperty(UidProperty, uid);
  action->setData(uid);
  action->setText(MenuText(name) + " - " + QString::number(uid));
  action->setEnabled(KvadraSystem && KvadraSystem->GetCurrentImageID() != -1);
  connect(action, &QAction::triggered, this, &TKvadraMainForm::OperationActionExecute);
  item->addAction(action);
}

void TKvadraMainForm::AttachBuiltInOperation(unsigned uid, const QString& name)
{
  const std::pair<const char*, QAction*> actions[] = {{"Rotate 90 CW", Rotate90CWAction},
                                                      {"Rotate 90 CCW", Rotate90CCWAction},
                                                      {"Rotate 180", Rotate180Action},
                                                      {"Flip Vertical", FlipVerticalAction},
                                                      {"Flip Horizontal", FlipHorizontalAction},
                                                      {"Desaturate", DesaturateAction},
                                                      {"Invert", InvertAction}};
  QAction* theAction = nullptr;
  for (const auto& [operation, action] : actions)
    if (name == operation) theAction = action;
  KV_ASSERT(theAction != nullptr, "theAction != NULL");
  // The caption is the operation's name; its accelerator stays where the menu had it.
  if (TActionManagerHelper::StripAccelerator(theAction->text()) != name) theAction->setText(MenuText(name));
  theAction->setProperty(UidProperty, uid);
  theAction->setData(uid);
  disconnect(theAction, &QAction::triggered, this, nullptr);
  connect(theAction, &QAction::triggered, this, &TKvadraMainForm::OperationActionExecute);
  theAction->setEnabled(KvadraSystem && KvadraSystem->GetCurrentImageID() != -1);
}

QAction* TKvadraMainForm::FindOperationAction(unsigned uid) const
{
  for (QAction* action : OperationActionList)
    if (action->property(UidProperty).toUInt() == uid) return action;
  return nullptr;
}

void TKvadraMainForm::RegisterToolWindow(QDockWidget* toolWindow)
{
  QAction* windowItem = TActionManagerHelper::FindItemByCaption(ActionMainMenuBar, "&Window");
  if (!windowItem) {
    QAction* helpItem = TActionManagerHelper::FindItemByCaption(ActionMainMenuBar, "&Help");
    KV_ASSERT(helpItem != nullptr, "HelpSubMenuItem!=NULL");
    QMenu* menu = TActionManagerHelper::AddCategory(ActionMainMenuBar, "&Window", helpItem, false);
    menu->setObjectName("WindowItem");
    windowItem = menu->menuAction();
  }
  const QString caption = "&" + toolWindow->windowTitle();
  QAction* entry = nullptr;
  for (QAction* a : windowItem->menu()->actions())
    if (a->text().compare(caption, Qt::CaseInsensitive) == 0) entry = a;
  if (!entry) {
    entry = NewAction(toolWindow->objectName() + "WindowAction", "&Window", caption);
    entry->setCheckable(true);
    connect(entry, &QAction::triggered, toolWindow, [toolWindow](bool checked) { toolWindow->setVisible(checked); });
    windowItem->menu()->addAction(entry);
  }
  // Explicitly hidden, not merely hidden with a minimised main window.
  entry->setChecked(!toolWindow->isHidden());
}

void TKvadraMainForm::SetPlaneSizes(int width, int height)
{
  SpatialViewer->SetPlaneSize(width, height);
  FrequencyViewer->SetPlaneSize(width, height);
  ComparePage->Refresh();
}

void TKvadraMainForm::RepaintViewers()
{
  SpatialViewer->Repaint();
  FrequencyViewer->Repaint();
  ComparePage->Refresh();
}

void TKvadraMainForm::CompareWith(int id)
{
  ComparePage->SetPictureA(id);
  CompareDomain->setChecked(true);
  Pages->setCurrentWidget(ComparePage);
}

// --- Handlers ---

bool TKvadraMainForm::Confirm(const QString& text)
{
  if (ConfirmHandler) return ConfirmHandler(text);
  QString shown = text;
  shown.replace('\r', '\n');
  return QMessageBox::question(this, QApplication::applicationName(), shown, QMessageBox::Yes | QMessageBox::No,
                               QMessageBox::No) == QMessageBox::Yes;
}

void TKvadraMainForm::OperationActionExecute()
{
  auto* action = qobject_cast<QAction*>(sender());
  if (action) ExecuteOperation(action->property(UidProperty).toUInt());
}

void TKvadraMainForm::ExecuteOperation(unsigned uid)
{
  if (uid == 0 || KvadraSystem->GetCurrentImageID() < 0) return;
  KvadraSystem->SelectOperation(uid);
  bool totalVariation = false;
  bool autoForm = false;
  KvadraSystem->GetTotalVariationAndAutoForm(uid, totalVariation, autoForm);
  if (totalVariation &&
      !Confirm(QString("You are about to execute operation which will change") + " image geometric properties." + "\r" +
               "History will be purged." + "\r\r" + "Continiue?"))
    return;
  if (autoForm && ShowOperationDialog)
    ShowOperationDialog(uid);
  else
    KvadraSystem->SelectedFilterExecute(true);
}

bool TKvadraMainForm::OpenFile(const QString& fileName)
{
  if (ExperimentRunning) return false;
  const bool loaded = KvadraSystem->LoadImage(QFile::encodeName(fileName).toStdString());
  if (loaded && AnalyzerForm) AnalyzerForm->SetPictureFile(QFileInfo(fileName).absoluteFilePath());
  UpdateActions();
  return loaded;
}

void TKvadraMainForm::OpenImageActionExecute()
{
  QFileDialog dialog(this, "Opening image");
  dialog.setObjectName("OpenPictureDialog");
  dialog.setDirectory(
      QFile::decodeName(kvSamplesFolder(QFile::encodeName(QApplication::applicationDirPath()).toStdString()).c_str()) +
      "/");
  // The usual extensions of the formats the kernel reads (it picks the reader by the content).
  dialog.setNameFilters({"All supported (*.bmp *.jpg *.png *.tif *.tiff)", "Bitmaps (*.bmp)", "JPEG (*.jpg)",
                         "PNG (*.png)", "TIFF (*.tif *.tiff)"});
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) OpenFile(dialog.selectedFiles().first());
}

void TKvadraMainForm::SaveImageAsActionExecute()
{
  QFileDialog dialog(this, "Save image as");
  dialog.setObjectName("SavePictureDialog");
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  // The kernel writes PNG for a .png name and BMP otherwise; a name typed without an extension
  // gets the one of the chosen type (before the dialog asks about overwriting).
  const QString png = "PNG (*.png)";
  dialog.setNameFilters({"Bitmaps (*.bmp)", png});
  dialog.setDefaultSuffix("bmp");
  connect(&dialog, &QFileDialog::filterSelected, &dialog,
          [&dialog, png](const QString& filter) { dialog.setDefaultSuffix(filter == png ? "png" : "bmp"); });
  dialog.selectFile("image");
  if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
    KvadraSystem->SaveCurrentImage(QFile::encodeName(dialog.selectedFiles().first()).toStdString());
}

void TKvadraMainForm::CloseImageActionExecute()
{
  const bool ok = ConfirmHandler ? ConfirmHandler("Are you sure you want to close image?")
                                 : QMessageBox::question(
                                       this, QApplication::applicationName(), "Are you sure you want to close image?",
                                       QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel) == QMessageBox::Ok;
  if (ok) KvadraSystem->DeleteAllSavedImage();
}

TPlaneViewer* TKvadraMainForm::ShownViewer() const
{
  if (Pages->currentWidget() == ComparePage) return ComparePage->ViewerB;
  return Pages->currentWidget() == FreqSheet ? FrequencyViewer : SpatialViewer;
}

void TKvadraMainForm::ZoomActionExecute(eZoomStep step)
{
  TPlaneViewer* viewer = ShownViewer();
  switch (step) {
    case eZoomStep::In: viewer->ZoomIn(); break;
    case eZoomStep::Out: viewer->ZoomOut(); break;
    case eZoomStep::ActualSize: viewer->ActualSize(); break;
    case eZoomStep::Fit: viewer->ZoomToFit(); break;
  }
  ShowZoom(viewer->GetZoom());
}

void TKvadraMainForm::ShowZoom(int percent)
{
  ZoomPanel->setText(QString::number(percent) + "%");
}

void TKvadraMainForm::ShowPixel(bool frequency, bool inside, int x, int y)
{
  if (!inside || KvadraSystem->GetCurrentImageID() < 0) {
    PixelPanel->clear();
    return;
  }
  const cBMPSurface* surface = nullptr;
  if (frequency) {
    surface = KvadraSystem->GetSpectrumSurface(SpectrumKind(*MagPhBox), SpectrumScaleEdit->GetValue(), true);
  } else {
    surface = KvadraSystem->GetRenderedSurface(sRect{x, y, x + 1, y + 1});
  }
  if (!surface || x >= surface->GetWidth() || y >= surface->GetHeight()) {
    PixelPanel->clear();
    return;
  }
  const uint8_t* row = surface->Row(y);
  QString text = QString("%1, %2: ").arg(x).arg(y);
  if (surface->GetChannelsCount() == 1)
    text += QString::number(row[x]);
  else
    text += QString("%1, %2, %3").arg(row[3 * x + 2]).arg(row[3 * x + 1]).arg(row[3 * x]);
  PixelPanel->setText(text);
}

void TKvadraMainForm::ResizeActionExecute()
{
  if (KvadraSystem->GetCurrentImageID() < 0 || !RunResampleDialog) return;
  int width = 0, height = 0, channels = 0;
  KvadraSystem->GetImageSizes(width, height, channels);
  if (RunResampleDialog(width, height)) KvadraSystem->SelectedFilterExecute(true);
}

void TKvadraMainForm::RulersActionExecute()
{
  const bool on = RulersAction->isChecked();
  SpatialViewer->EnableRulers(on);
  FrequencyViewer->EnableRulers(on);
  ComparePage->ViewerA->EnableRulers(on);
  ComparePage->ViewerB->EnableRulers(on);
}

void TKvadraMainForm::SpectrumParamsChange()
{
  FrequencyViewer->Repaint();
}

void TKvadraMainForm::DrawSpatial(QPainter& canvas, const sViewerInfo& info)
{
  if (KvadraSystem->GetCurrentImageID() < 0) return;
  // In full preview the picture shown is the one a run is writing: while it runs, show the
  // last completed picture.
  if (KvadraSystem->GetFullPreviewMode() && KvadraSystem->IsBusy()) {
    DrawViewerFrame(canvas, LastSpatialFrame);
    return;
  }
  const sRect texels{info.TexelLeft, info.TexelTop, info.TexelRight, info.TexelBottom};
  LastSpatialFrame = MakeViewerFrame(KvadraSystem->GetRenderedSurface(texels), info);
  DrawViewerFrame(canvas, LastSpatialFrame);
}

void TKvadraMainForm::DrawFrequency(QPainter& canvas, const sViewerInfo& info)
{
  if (Pages->currentWidget() != FreqSheet) return;
  KV_ASSERT(KvadraSystem->GetCurrentImageID() >= 0, "KvadraSystem->GetCurrentImageID()>=0");
  DrawSurfaceInViewer(KvadraSystem->GetSpectrumSurface(SpectrumKind(*MagPhBox), SpectrumScaleEdit->GetValue(), true),
                      canvas, info);
}

// --- Window events ---

void TKvadraMainForm::showEvent(QShowEvent* event)
{
  QMainWindow::showEvent(event);
  UpdateActions();
}

void TKvadraMainForm::closeEvent(QCloseEvent* event)
{
  if (ExperimentRunning) {
    // The experiment ends after its running operation; the window closes once it has returned.
    CloseAfterExperiment = true;
    if (KvadraSystem) KvadraSystem->AnalyzerCancel();
    event->ignore();
    return;
  }
  // A run still going is stopped before the program shuts the kernel down.
  if (KvadraSystem && KvadraSystem->IsBusy()) KvadraSystem->TerminateOperation();
  QMainWindow::closeEvent(event);
}

void TKvadraMainForm::dragEnterEvent(QDragEnterEvent* event)
{
  if (event->mimeData()->hasUrls() && !event->mimeData()->urls().isEmpty() &&
      event->mimeData()->urls().first().isLocalFile())
    event->acceptProposedAction();
}

void TKvadraMainForm::dropEvent(QDropEvent* event)
{
  const QList<QUrl> urls = event->mimeData()->urls();
  if (urls.isEmpty() || !urls.first().isLocalFile()) return;
  event->acceptProposedAction();
  // Loading may ask a question; do it after the drop has finished.
  const QString file = urls.first().toLocalFile();
  QMetaObject::invokeMethod(
      this, [this, file] { OpenFile(file); }, Qt::QueuedConnection);
}
