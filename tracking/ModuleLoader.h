#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

// The program's modules (the browser page, the service's network code) are Qt plugins that it
// loads when a check first needs one, so that a start maps none of their libraries.

// The files looked at, in order: `named`, alone, when it is not empty; else `fileName` beside
// the program (the build tree), then in `fromProgram` (where the install puts it, relative to the
// program's own folder so that any install prefix works). Works before the application object
// exists.
QStringList moduleCandidates(const QString& named, const QString& fileName, const QString& fromProgram);

// The program's own folder, asked of the system: works before the application object exists.
QString programFolder();

struct LoadedModule
{
    QObject* root = nullptr; // the plugin's root object; nullptr when it could not be had
    QString file;            // the file it came from
    QString failure;         // why not, when root is nullptr
};

// Loads the first of `files` that exists. The plugin stays loaded for good: what is made with it
// may live until the program ends.
LoadedModule loadModule(const QStringList& files);

// What `make` makes with the root object of the first of `files`, taken as the module's
// `Provider` interface. `fail` (which must not return) is called with the reason when the module
// cannot be had, is another plugin, or made nothing (`what` names what it should have made).
template <typename Provider, typename Make, typename Fail>
auto makeWithModule(const QStringList& files, const char* what, Make make, Fail fail)
{
    const LoadedModule module = loadModule(files);
    if (module.root == nullptr)
        fail(module.failure);
    auto* provider = qobject_cast<Provider*>(module.root);
    if (provider == nullptr)
        fail(QStringLiteral("%1 is a plugin of another kind").arg(module.file));
    auto made = make(*provider);
    if (!made)
        fail(QStringLiteral("%1 made no %2").arg(module.file, QLatin1String(what)));
    return made;
}
