#pragma once
#include <QWidget>
class TResultsForm : public QWidget
{
    Q_OBJECT
public:
    explicit TResultsForm(QWidget *parent = nullptr);
};
