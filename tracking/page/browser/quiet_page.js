// Run in the tracking page's own world as each document is created, before the page's scripts.
// The page's console messages and the reports of its uncaught errors would each reach the program
// whole, however long (the browser engine caps none of them), and the program reads none of
// them. Frames the page makes by script, its workers and its rejected promises still get
// through; each such message passes and is let go.
(function () {
    "use strict";
    var console = window.console;
    if (console) {
        Object.getOwnPropertyNames(console).forEach(function (name) {
            if (typeof console[name] === "function")
                console[name] = function () {};
        });
    }
    window.addEventListener("error", function (event) { event.preventDefault(); }, true);
})();
