// Whether the pointer of the top page at (x, y) reaches `el`: itself,
// something inside it, one of its labels, or, where it lets the pointer
// through, what it lies in. Answers '' when it does; otherwise what would take
// the `act` ("press" or "hover") instead.
(el, x, y, act) => {
  if (el.getRootNode() !== document) return '';
  const hit = document.elementFromPoint(x, y);
  const at = `x=${Math.round(x)}, y=${Math.round(y)}`;
  if (!hit) return `its place at ${at} is outside the window`;
  const labels = el.labels ? [...el.labels] : [];
  if (el.contains(hit) || labels.some(label => label.contains(hit))) return '';
  if (hit.contains(el) && getComputedStyle(el).pointerEvents === 'none') return '';
  const words = (hit.innerText || '').trim().split('\n')[0].slice(0, 40);
  return `the <${hit.localName}>${words ? ` '${words}'` : ''} at ${at} would take the ${act}`;
}
