#pragma once

#include <functional>
#include <memory>

class TrackingPage;

// Makes the hidden tracking page the first time a check run needs it, so that start-up does not
// wait for the browser engine. The caller owns the page; a factory that cannot make one raises
// EPageError or gives nullptr.
using TrackingPageFactory = std::function<std::unique_ptr<TrackingPage>()>;
