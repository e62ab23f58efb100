// As select_international.js and enter_number.js would do it, in one round trip. Gives "ok",
// "no radio" or "no item".
(function (number) {
    var radio = document.getElementById("internal-2");
    if (!radio)
        return "no radio";
    radio.click();
    var element = document.getElementById("item");
    if (!element)
        return "no item";
    element.value = number;
    return "ok";
})
