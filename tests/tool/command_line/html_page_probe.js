// Measures the report page as the browser laid it out and writes what it found into the page, for
// html_page_test.cmake to read from the dumped document.
(function () {
    const out = [];
    const list = (items) => (items.length ? items.join(", ") : "none");
    const svg = document.querySelector("svg.timeline");
    const picture = svg.getBoundingClientRect();

    const calls = [...document.querySelectorAll("svg.timeline g.call")];
    const boxes = calls.map((g) => g.querySelector("rect").getBoundingClientRect());
    out.push("call boxes " + calls.length + ", drawn " + boxes.filter((b) => b.width > 20 && b.height > 10).length);
    const tight = [];
    calls.forEach((g, i) => {
        for (const text of g.querySelectorAll("text")) {
            const t = text.getBoundingClientRect();
            if (t.left < boxes[i].left || t.right > boxes[i].right - 2) tight.push("step " + g.dataset.step);
        }
    });
    out.push("names not fitting their box: " + list(tight));
    const all = [...document.querySelectorAll("svg.timeline g.call rect, svg.timeline g.library rect")]
        .map((r) => r.getBoundingClientRect())
        .sort((a, b) => a.left - b.left);
    let overlaps = 0;
    for (let i = 1; i < all.length; ++i) if (all[i].left < all[i - 1].right) ++overlaps;
    out.push("boxes overlapping: " + (overlaps ? overlaps : "none"));
    const first = Math.min(...all.map((b) => b.left));
    const texts = [...document.querySelectorAll("svg.timeline text")];
    const long = [...document.querySelectorAll("svg.timeline text.lane, svg.timeline text.lane-sub")]
        .filter((t) => t.getBoundingClientRect().right > first).map((t) => t.textContent);
    out.push("labels running into the picture: " + list(long));
    // Whole: no ellipsis, and no text pressed into a length of its own.
    const cut = texts.filter((t) => t.textContent.includes("\u2026") || t.hasAttribute("textLength"))
        .map((t) => t.textContent);
    out.push("labels cut or squeezed: " + list(cut));
    const outside = texts.filter((t) => {
        const b = t.getBoundingClientRect();
        return b.left < picture.left - 0.5 || b.right > picture.right + 0.5 || b.top < picture.top - 0.5 ||
            b.bottom > picture.bottom + 0.5;
    }).map((t) => t.textContent);
    out.push("texts outside the picture: " + list(outside));
    // Not shrunk to fit: the picture is as wide as it was laid out.
    out.push("timeline drawn at its own size: " +
        (Math.abs(picture.width - svg.width.baseVal.value) < 0.5 ? "yes" : "no, " + picture.width + " px of " +
            svg.width.baseVal.value));
    const figure = svg.closest("figure");
    out.push("timeline behind a scroll bar: " + (figure.scrollWidth > figure.clientWidth ? "yes, " +
        figure.scrollWidth + " px in " + figure.clientWidth : "no"));
    const root = document.documentElement;
    out.push("page wider than the window: " + (root.scrollWidth > root.clientWidth ? "yes, " + root.scrollWidth +
        " px in " + root.clientWidth : "no"));
    // Any element that clips its content or ends it with an ellipsis must have room for all of it.
    const clipping = [...document.body.querySelectorAll("*")].filter((e) => {
        const style = getComputedStyle(e);
        const clips = style.overflowX !== "visible" || style.textOverflow === "ellipsis";
        return clips && e.scrollWidth > e.clientWidth + 0 && !(e instanceof SVGElement);
    }).map((e) => e.tagName.toLowerCase() + (e.className ? "." + e.className : ""));
    out.push("elements cutting their text: " + list(clipping));

    const wait = document.querySelector("svg.timeline g.wait rect");
    out.push("firmware tool waited for: " + (wait && wait.getBoundingClientRect().width > 100 ? "drawn" : "missing"));
    const rows = [...document.querySelectorAll("table.registry tbody tr")];
    const shown = rows.filter((r) => r.offsetHeight > 0 && r.offsetWidth > 0).length;
    out.push("registry rows shown: " + (shown === rows.length ? "all " + shown : shown + " of " + rows.length));

    // Windows names in the text (NO_ERROR, DIF_REMOVE, REG_SZ, ...) outside quoted data, what is
    // shown as written (pre) and the picture (whose boxes carry their own tips): each within an
    // abbreviation with an explanation.
    const explained = [...document.querySelectorAll("abbr")].filter((a) => a.title.trim().length > 0);
    const unexplained = new Set();
    const walker = document.createTreeWalker(document.body, NodeFilter.SHOW_TEXT);
    for (let node = walker.nextNode(); node; node = walker.nextNode()) {
        if (node.parentElement.closest("pre, svg, abbr[title], script")) continue;
        const text = node.textContent.replace(/"[^"]*"|\u201C[^\u201D]*\u201D/g, "");
        for (const m of text.matchAll(/\b[A-Z][A-Z0-9]*_[A-Z0-9_]*[A-Z0-9]\b/g)) unexplained.add(m[0]);
    }
    out.push("Windows names explained: " + explained.length);
    out.push("Windows names without an explanation: " + list([...unexplained]));

    const pre = document.createElement("pre");
    pre.id = "probe";
    pre.textContent = out.join("\n");
    document.body.appendChild(pre);
})();
