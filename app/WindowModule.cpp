#include "app/WindowModule.h"

#include "app/WindowProvider.h"
#include "console/Console.h"
#include "tracking/ModuleLoader.h"

QStringList WindowModule::candidates()
{
    return moduleCandidates({}, QStringLiteral(KURIERIX_WINDOW_MODULE_FILE),
                            QStringLiteral(KURIERIX_WINDOW_MODULE_FROM_PROGRAM));
}

int WindowModule::run(int& argc, char** argv, const ProgramSettings& settings)
{
    const LoadedModule module = loadModule(candidates());
    auto* provider = qobject_cast<WindowProvider*>(module.root);
    if (provider == nullptr) {
        Console::writeError(QStringLiteral("не удалось загрузить окно программы, установите программу заново (%1)")
                                .arg(module.root == nullptr
                                         ? module.failure
                                         : module.file + QStringLiteral(" is a plugin of another kind")));
        return 1;
    }
    return provider->run(argc, argv, settings, nullptr);
}
