#pragma once

#include <QString>
#include <QStringList>

class QObject;

// The program's modules (the browser page, the service's network code) are Qt plugins that it
// loads when a check first needs one, so that a start maps none of their libraries.

// The files looked at, in order: the file `overrideVariable` names, alone, when it is set; else
// `fileName` beside the program (the build tree), then in `fromProgram` (where the install puts
// it, relative to the program's own folder so that any install prefix works).
QStringList moduleCandidates(const char* overrideVariable, const QString& fileName, const QString& fromProgram);

struct LoadedModule
{
    QObject* root = nullptr; // the plugin's root object; nullptr when it could not be had
    QString file;            // the file it came from
    QString failure;         // why not, when root is nullptr
};

// Loads the first of `files` that exists. The plugin stays loaded for good: what is made with it
// may live until the program ends.
LoadedModule loadModule(const QStringList& files);
