// Clicks the radio input "internal-2" (international and EMS items); gives "ok" or "missing".
(function () {
    var element = document.getElementById("internal-2");
    if (!element)
        return "missing";
    element.click();
    return "ok";
})
