#include "Unit_Results.h"
TResultsForm::TResultsForm(QWidget *parent) : QWidget(parent) {}
