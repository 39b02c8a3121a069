#pragma once
#include <QWidget>
class TSCBForm : public QWidget
{
    Q_OBJECT
public:
    explicit TSCBForm(QWidget *parent = nullptr);
};
