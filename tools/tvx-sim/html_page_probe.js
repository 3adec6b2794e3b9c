// Measures the report page as the browser laid it out and writes what it found into the page, for
// html_page_test.cmake to read from the dumped document.
(function () {
    const out = [];
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
    out.push("names not fitting their box: " + (tight.length ? tight.join(", ") : "none"));
    const all = [...document.querySelectorAll("svg.timeline g.call rect, svg.timeline g.library rect")]
        .map((r) => r.getBoundingClientRect())
        .sort((a, b) => a.left - b.left);
    let overlaps = 0;
    for (let i = 1; i < all.length; ++i) if (all[i].left < all[i - 1].right) ++overlaps;
    out.push("boxes overlapping: " + (overlaps ? overlaps : "none"));
    const picture = Math.min(...all.map((b) => b.left));
    const long = [...document.querySelectorAll("svg.timeline text.lane, svg.timeline text.lane-sub")]
        .filter((t) => t.getBoundingClientRect().right > picture).map((t) => t.textContent);
    out.push("labels running into the picture: " + (long.length ? long.join(", ") : "none"));
    const wait = document.querySelector("svg.timeline g.wait rect");
    out.push("firmware tool waited for: " + (wait && wait.getBoundingClientRect().width > 100 ? "drawn" : "missing"));
    const rows = [...document.querySelectorAll("table.registry tbody tr")];
    const shown = rows.filter((r) => r.offsetHeight > 0 && r.offsetWidth > 0).length;
    out.push("registry rows shown: " + (shown === rows.length ? "all " + shown : shown + " of " + rows.length));
    const pre = document.createElement("pre");
    pre.id = "probe";
    pre.textContent = out.join("\n");
    document.body.appendChild(pre);
})();
