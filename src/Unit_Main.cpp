#include "Unit_Main.h"
TSCBForm::TSCBForm(QWidget *parent) : QWidget(parent) {}
