#pragma once

#include <QString>

#include <memory>

class QWebEngineProfile;
class SilentPage;

// The browser the tracking page runs in, made when a check run first needs it.
namespace PageSetup {

// An off-the-record profile that keeps nothing on disk outside `storagePath` and refuses
// every download.
std::unique_ptr<QWebEngineProfile> createProfile(const QString& storagePath);
// A silent page on `profile` that loads no images and opens no windows, with the page-quieting
// script run in every document it makes. The page must go before its profile.
std::unique_ptr<SilentPage> createPage(QWebEngineProfile& profile);

} // namespace PageSetup
