#pragma once
// One editing control per operation parameter, laid out in a column of labelled rows; edits
// are written into an owned copy of the parameter set and announced through OnChange.
#include <QFrame>
#include <functional>

#include "kvOperations/cOperationParams.h"

class QLabel;

class TParamsPanel : public QFrame {
  Q_OBJECT
public:
  explicit TParamsPanel(QWidget* parent = nullptr);

  // Replaces the content by a copy of parameters, leaving out excludedIndex (-1: none).
  void Build(const cOperationParams& parameters, int excludedIndex);
  // Assigns the edited copy to parameters (the whole set).
  void ApplyTo(cOperationParams& parameters) const;
  int GetHeight() const { return PanelHeight; }
  const cOperationParams& GetParams() const { return Params; }
  // The panel's own caption, shown when it has no controls.
  QString GetCaption() const;

  std::function<void(TParamsPanel*)> OnChange;

protected:
  void resizeEvent(QResizeEvent* event) override;

private:
  // Where a row's control starts and how wide it is.
  struct sRowColumns {
    int Left;
    int ControlWidth;
  };
  void ControlChanged(QWidget* sender);
  void Clear();
  void ShowEmpty();
  int WidestLabel() const;
  // A row's label at the left, centred on the row's height.
  void PlaceRowLabel(QLabel* label, int y, int rowHeight) const;
  // Each adds the row of one parameter at y and returns the row's height.
  int AddNumberRow(int index, const cOperationParameter& parameter, const sRowColumns& columns, int y);
  int AddBooleanRow(int index, const cOperationParameter& parameter, const sRowColumns& columns, int y);
  int AddChoiceRow(int index, const cOperationParameter& parameter, const sRowColumns& columns, int y);

  cOperationParams Params;
  int ExcludedIndex = -1;
  int PanelHeight = 20;
  int LabelWidth = 0;
  QLabel* CaptionLabel = nullptr;
  QList<QWidget*> Stretched;  // controls that reach the right edge
};
