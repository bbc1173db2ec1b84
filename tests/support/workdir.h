#pragma once
// A fresh temporary working folder for one test; the process enters it and returns to
// the previous folder afterwards.

#include <QDir>
#include <QTemporaryDir>

struct TempWorkDir {
    QTemporaryDir dir;
    QString previous = QDir::currentPath();
    TempWorkDir() { QDir::setCurrent(dir.path()); }
    ~TempWorkDir() { QDir::setCurrent(previous); }
    QString path() const { return dir.path(); }
};
