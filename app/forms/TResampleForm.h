#pragma once
// The resample dialog: the new size in pixels or percent, optionally keeping the proportions,
// and the method. OK selects the built-in resampler with these parameters.
#include <QDialog>
#include <functional>

#include "cResampleLimits.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QSpinBox;

class TResampleForm : public QDialog {
  Q_OBJECT
public:
  explicit TResampleForm(QWidget* parent = nullptr);

  void Setup(int width, int height);
  const cResampleLimits& Limits() const { return State; }

  QComboBox* TypeBox = nullptr;
  QSpinBox* WidthPxEdit = nullptr;
  QSpinBox* HeightPxEdit = nullptr;
  QSpinBox* WidthPcnEdit = nullptr;
  QSpinBox* HeightPcnEdit = nullptr;
  QLabel* Image1 = nullptr;
  QLabel* Image2 = nullptr;
  QCheckBox* ConstrainBox = nullptr;
  QPushButton* OKBtn = nullptr;
  QPushButton* CancelBtn = nullptr;

  // Messages go here instead of a message box when set (tests).
  std::function<void(const QString&)> ShowMessage;

protected:
  void showEvent(QShowEvent* event) override;

private:
  void ShowValues();
  void Changed(QSpinBox* edit);
  void ConstrainBoxClick();
  void OKBtnClick();
  void Tell(const std::string& message);

  cResampleLimits State;
  bool Updating = false;
};

extern TResampleForm* ResampleForm;
