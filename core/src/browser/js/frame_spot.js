// Where an element inside an embedded frame shows once scrolled into view,
// in its own document's viewport, and whether a press at its centre reaches
// it (itself, something inside it, or one of its labels):
// [left, top, width, height, inner text, reached]. Takes the element and the
// scroll function.
(el, scroll) => {
  scroll(el);
  const r = el.getBoundingClientRect();
  const hit = document.elementFromPoint(r.left + r.width / 2, r.top + r.height / 2);
  const labels = el.labels ? [...el.labels] : [];
  const reached = !!hit && (el.contains(hit) || labels.some(label => label.contains(hit)));
  return [r.left, r.top, r.width, r.height, el.innerText ?? '', reached];
}
