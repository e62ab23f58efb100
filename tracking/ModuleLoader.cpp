#include "tracking/ModuleLoader.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QPluginLoader>

QStringList moduleCandidates(const QString& named, const QString& fileName, const QString& fromProgram)
{
    if (!named.isEmpty())
        return {named};
    // The window's module is loaded before there is an application object to ask.
    const QDir program(QCoreApplication::instance() != nullptr ? QCoreApplication::applicationDirPath()
                                                               : programFolder());
    // Where the install puts the modules beside the program (Windows), the two are one.
    QStringList files{program.filePath(fileName),
                      QDir::cleanPath(program.filePath(fromProgram + QLatin1Char('/') + fileName))};
    files.removeDuplicates();
    return files;
}

LoadedModule loadModule(const QStringList& files)
{
    LoadedModule module;
    for (const QString& file : files) {
        if (QFileInfo(file).isFile()) {
            module.file = file;
            break;
        }
    }
    if (module.file.isEmpty()) {
        module.failure = QStringLiteral("no file %1").arg(files.join(QStringLiteral(", ")));
        return module;
    }
    QPluginLoader loader(module.file);
    module.root = loader.instance();
    if (module.root == nullptr)
        module.failure = loader.errorString();
    return module;
}
