#pragma once
// The preferences dialog: the quality window, the SSIM constants, the time unit, the history
// columns and the largest picture the readers accept. Confirmed settings are kept between runs.
#include <QDialog>
#include <functional>

class QCheckBox;
class QPushButton;
class QLineEdit;
class QSettings;
class QStackedWidget;
class QTreeWidget;
class QTreeWidgetItem;
class TImprovedRadioGroup;
class TImprovedSpinEdit;
class cuGlobalParameters;

class TPreferencesForm : public QDialog {
  Q_OBJECT
public:
  explicit TPreferencesForm(QWidget* parent = nullptr);

  // Radio group index of a quality window and back (widths and heights 3, 5, 7, 9, 11).
  static int WindowIndex(int width, int height);
  static void WindowFromIndex(int index, int& width, int& height);
  // Settings kept between runs; a missing, corrupt or foreign value leaves the default.
  static void LoadSettings(QSettings& store, cuGlobalParameters& params);
  static void SaveSettings(QSettings& store, const cuGlobalParameters& params);

  // Controls from the global parameters, as when the dialog opens.
  void LoadValues();

  QTreeWidget* PreferencesTreeView = nullptr;
  QStackedWidget* PreferencesPageControl = nullptr;
  TImprovedRadioGroup* IQ_RadioGroup = nullptr;
  QLineEdit* K1_Edit = nullptr;
  QLineEdit* K2_Edit = nullptr;
  TImprovedRadioGroup* TimeRG = nullptr;
  QCheckBox* PSNRCheckBox = nullptr;
  QCheckBox* MSECheckBox = nullptr;
  QCheckBox* IQCheckBox = nullptr;
  QCheckBox* IQHVSCheckBox = nullptr;
  QCheckBox* SSIMCheckBox = nullptr;
  QCheckBox* TimeCheckBox = nullptr;
  TImprovedSpinEdit* MaxPixelsEdit = nullptr;
  QPushButton* OKBtn = nullptr;
  QPushButton* CancelBtn = nullptr;

  // Messages go here instead of a message box when set (tests).
  std::function<void(const QString&)> ShowMessage;
  // Where confirmed settings are kept; nullptr keeps nothing.
  QSettings* Store = nullptr;

protected:
  void showEvent(QShowEvent* event) override;

private:
  // One step each: the option tree, a page per option, the buttons, the layout.
  QTreeWidgetItem* CreateTree();
  void CreateMeasurementsPage();
  void CreateQualityWindowPage();
  void CreateIqhvsPage();
  void CreateSsimPage();
  void CreateTimePage();
  void CreateHistoryPage();
  void CreateHistogramPage();
  void CreatePictureFilesPage();
  void CreateButtons();
  void LayOut();
  void TreeClick(QTreeWidgetItem* item);
  void OKBtnClick();
};

extern TPreferencesForm* PreferencesForm;
