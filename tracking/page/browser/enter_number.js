// Puts `number` into the input "item" as it is; gives "ok" or "missing".
(function (number) {
    var element = document.getElementById("item");
    if (!element)
        return "missing";
    element.value = number;
    return "ok";
})
