#include "tracking/page/browser/PageSetup.h"

#include "tracking/page/browser/PageScripts.h"
#include "tracking/page/browser/SilentPage.h"

#include <QDir>
#include <QWebEngineDownloadRequest>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>

namespace PageSetup {

std::unique_ptr<QWebEngineProfile> createProfile(const QString& storagePath)
{
    QDir().mkpath(storagePath);
    // A profile without a name is off the record: cookies and cache stay in memory. The paths
    // point into the private folder anyway, so that nothing the engine might still write
    // lands in the user's home.
    auto profile = std::make_unique<QWebEngineProfile>();
    profile->setPersistentStoragePath(QDir(storagePath).filePath(QStringLiteral("storage")));
    profile->setCachePath(QDir(storagePath).filePath(QStringLiteral("cache")));
    profile->setDownloadPath(QDir(storagePath).filePath(QStringLiteral("downloads")));
    profile->setHttpCacheType(QWebEngineProfile::MemoryHttpCache);
    profile->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
    QObject::connect(profile.get(), &QWebEngineProfile::downloadRequested, profile.get(),
                     [](QWebEngineDownloadRequest* download) { download->cancel(); });
    return profile;
}

std::unique_ptr<SilentPage> createPage(QWebEngineProfile& profile)
{
    auto page = std::make_unique<SilentPage>(&profile);
    QWebEngineSettings* settings = page->settings();
    // A failed load must stay a failure, not become a browser-made page that reads as an answer.
    settings->setAttribute(QWebEngineSettings::ErrorPageEnabled, false);
    settings->setAttribute(QWebEngineSettings::AutoLoadImages, false);
    settings->setAttribute(QWebEngineSettings::AutoLoadIconsForPage, false);
    settings->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
    settings->setAttribute(QWebEngineSettings::FocusOnNavigationEnabled, false);
    settings->setAttribute(QWebEngineSettings::PluginsEnabled, false);
    settings->setAttribute(QWebEngineSettings::PdfViewerEnabled, false);

    // In the page's own world as each document is created, before the page's scripts: see the
    // script for what it keeps out of this process.
    QWebEngineScript quiet;
    quiet.setName(QStringLiteral("kurierix-quiet"));
    quiet.setWorldId(QWebEngineScript::MainWorld);
    quiet.setInjectionPoint(QWebEngineScript::DocumentCreation);
    quiet.setRunsOnSubFrames(true);
    quiet.setSourceCode(PageScripts::source(PageScript::QuietPage));
    page->scripts().insert(quiet);
    return page;
}

} // namespace PageSetup
