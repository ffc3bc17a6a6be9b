// Where an element's own words sit, when that is less than its box: a heading
// or a block label spans the page while its words stay at the left, and a
// person measures "below" or "right of" from the words. Returns
// "x,y,width,height" over the element's direct text nodes, or null. `known`
// is the element's bounding rect when the caller has read it already; `words`
// its direct text nodes that hold words and `range` a range to measure with,
// when a caller scanning many elements has them.
(el, known, words, range) => {
  range = range || document.createRange();
  let left = Infinity, top = Infinity, right = -Infinity, bottom = -Infinity;
  for (const node of words || el.childNodes) {
    if (!words && (node.nodeType !== 3 || !node.textContent.trim())) continue;
    range.selectNodeContents(node);
    for (const r of range.getClientRects()) {
      if (r.width <= 0 || r.height <= 0) continue;
      left = Math.min(left, r.left);
      top = Math.min(top, r.top);
      right = Math.max(right, r.right);
      bottom = Math.max(bottom, r.bottom);
    }
  }
  if (left === Infinity) return null;
  const box = known || el.getBoundingClientRect();
  if (right - left >= box.width - 1 && bottom - top >= box.height - 1) return null;
  return [left, top, right - left, bottom - top].join(',');
}
