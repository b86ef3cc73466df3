#pragma once
// Tells the windows that show the current show (the main window's title) that it changed.
#include <QObject>

class ShowSignals : public QObject
{
    Q_OBJECT
public:
    static ShowSignals& Instance();

signals:
    void Changed();
};

// Marks the current show modified and says so.
void MarkShowModified();
