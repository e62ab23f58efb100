// A look at the page, called with what it does (`action`), the text that spares the HTML
// (`htmlUnless`, null: never) and the legacy writer (a function, or null). look() reads the page
// text, and the HTML too unless the text contains `htmlUnless`. Whatever the action gives carries
// "seen", the changes the look has seen (-1: no watcher in this document).
(function (action, htmlUnless, writeHtml) {
    "use strict";
    var watcher = Object.prototype.hasOwnProperty.call(window, "kurierixWatcher") ? window.kurierixWatcher : null;
    function seen() {
        return watcher ? watcher.take() : -1;
    }
    function look() {
        var changes = seen();
        var root = document.documentElement;
        var text = root ? root.innerText : "";
        var html = null;
        // A writer that fails leaves the HTML to a read of its own, which says why.
        if (htmlUnless !== null && typeof text === "string" && text.indexOf(htmlUnless) < 0) {
            try {
                html = writeHtml ? writeHtml() : null;
            } catch (error) {
                html = null;
            }
        }
        return {seen: changes, text: text, html: html};
    }

    if (action === "state")
        return {seen: seen(), state: document.readyState};
    if (action === "search") {
        // The click and the first look in one script: nothing of the page's runs in between. The
        // last input of the whole document is the tracking page's search button.
        var inputs = document.getElementsByTagName("input");
        if (inputs.length == 0)
            return {seen: -1, missing: true};
        inputs[inputs.length - 1].click();
    }
    return look();
})
