// Writes the inner HTML of the document element the way the old embedded browser control
// wrote it, because the result extraction was made for that markup, not for Chromium's:
// upper-case tag names, no end tags for void elements, the style attribute first and in the
// control's normal form ("BACKGROUND: #8be3ff"), attribute values bare where they can be.
// Evaluates to a function that gives the text.
(function () {
    "use strict";

    var VOID = {
        AREA: 1, BASE: 1, BASEFONT: 1, BGSOUND: 1, BR: 1, COL: 1, EMBED: 1, FRAME: 1, HR: 1, IMG: 1,
        INPUT: 1, ISINDEX: 1, KEYGEN: 1, LINK: 1, META: 1, PARAM: 1, SOURCE: 1, TRACK: 1, WBR: 1
    };
    // Elements whose text the parser takes as it stands; it is written back the same way.
    var RAW_TEXT = {
        SCRIPT: 1, STYLE: 1, XMP: 1, IFRAME: 1, NOEMBED: 1, NOFRAMES: 1, NOSCRIPT: 1, PLAINTEXT: 1
    };
    // Letters of any alphabet, digits, "-", "_", "." and ":" need no quotes.
    var BARE_VALUE = /^[\p{L}0-9\-_.:]+$/u;
    var HEX_COLOUR = /^#[0-9A-Fa-f]+$/;
    var NO_BACKGROUND = "none transparent scroll repeat 0% 0%";

    function escapeText(text) {
        return text.replace(/&/g, "&amp;").replace(/</g, "&lt;").replace(/>/g, "&gt;")
            .replace(/\u00a0/g, "&nbsp;");
    }

    // Splits a style attribute at the semicolons that end declarations, not at those inside
    // quotes or parentheses (url(data:...;base64,...)).
    function declarations(css) {
        var parts = [], current = "", quote = "", depth = 0;
        for (var i = 0; i < css.length; i++) {
            var c = css.charAt(i);
            if (quote) {
                if (c === quote)
                    quote = "";
            } else if (c === "\"" || c === "'") {
                quote = c;
            } else if (c === "(") {
                depth++;
            } else if (c === ")" && depth > 0) {
                depth--;
            } else if (c === ";" && depth === 0) {
                parts.push(current);
                current = "";
                continue;
            }
            current += c;
        }
        parts.push(current);
        return parts;
    }

    function background(value) {
        var words = value.split(/\s+/);
        var onlyNone = words.every(function (word) {
            var lower = word.toLowerCase();
            return lower === "none" || lower === "transparent";
        });
        if (onlyNone)
            return NO_BACKGROUND;
        if (words.length === 1 && HEX_COLOUR.test(value))
            return value.toLowerCase();
        return value;
    }

    function normalStyle(css) {
        var written = [];
        declarations(css).forEach(function (declaration) {
            var colon = declaration.indexOf(":");
            if (colon < 0)
                return;
            var name = declaration.slice(0, colon).trim();
            var value = declaration.slice(colon + 1).trim();
            if (!name)
                return;
            if (name.toLowerCase() === "background")
                value = background(value);
            written.push(name.toUpperCase() + ": " + value);
        });
        return written.join("; ");
    }

    function attribute(name, value) {
        if (value !== "" && BARE_VALUE.test(value))
            return " " + name + "=" + value;
        return " " + name + "=\"" + value.replace(/"/g, "&quot;") + "\"";
    }

    function writeElement(element, out) {
        var tag = element.tagName.toUpperCase();
        out.push("<" + tag);
        if (element.hasAttribute("style"))
            out.push(attribute("style", normalStyle(element.getAttribute("style"))));
        for (var i = 0; i < element.attributes.length; i++) {
            var item = element.attributes[i];
            if (item.name.toLowerCase() !== "style")
                out.push(attribute(item.name, item.value));
        }
        out.push(">");
        if (VOID[tag])
            return;
        writeChildren(element, out, RAW_TEXT[tag] === 1);
        out.push("</" + tag + ">");
    }

    function writeChildren(parent, out, rawText) {
        for (var node = parent.firstChild; node; node = node.nextSibling) {
            if (node.nodeType === Node.ELEMENT_NODE)
                writeElement(node, out);
            else if (node.nodeType === Node.TEXT_NODE)
                out.push(rawText ? node.data : escapeText(node.data));
            else if (node.nodeType === Node.COMMENT_NODE)
                out.push("<!--" + node.data + "-->");
        }
    }

    var out = [];
    if (document.documentElement)
        writeChildren(document.documentElement, out, false);
    return out.join("");
})
