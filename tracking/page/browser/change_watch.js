// Run in the driver's world as each document is created, called with the driver's secret token:
// watches the results block (and the document around it, since the block may be replaced or
// come late) and tells the driver on the console at once when it changed. A look takes what has
// not been told yet, so that a change the look has seen is not told afterwards. Named elements
// of the page show through on the window object, hence the own, fixed property.
(function (token) {
    "use strict";
    var changes = 0;
    var results = null;
    function relevant(records) {
        if (records.length === 0)
            return false;
        var current = document.getElementById("results");
        if (current !== results) {
            results = current;
            return true;
        }
        if (!current)
            return true;
        for (var i = 0; i < records.length; i++) {
            if (current.contains(records[i].target))
                return true;
        }
        return false;
    }
    var observer = new MutationObserver(function (records) {
        if (relevant(records))
            console.debug(token + " " + (++changes));
    });
    observer.observe(document, {childList: true, subtree: true, characterData: true});
    Object.defineProperty(window, "kurierixWatcher", {value: Object.freeze({
        take: function () {
            if (relevant(observer.takeRecords()))
                ++changes;
            return changes;
        }
    })});
})
