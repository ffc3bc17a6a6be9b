// aria-labelledby lists element ids; the name is their texts in that order.
// Ids are looked up in the control's own tree (document or shadow root), as
// the browser's accessibility tree does.
(el, labelText) => {
  const ids = (el.getAttribute('aria-labelledby') || '').split(/[ \t\n\f\r]+/).filter(Boolean);
  const root = el.getRootNode();
  if (!root.getElementById) return null;
  const texts = [];
  for (const id of ids) {
    const ref = root.getElementById(id);
    const text = ref ? (labelText(ref, el) || '').trim() : '';
    if (text) texts.push(text);
  }
  return texts.length ? texts.join(' ') : null;
}
