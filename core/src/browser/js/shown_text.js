// innerText as the eye reads it: a drop-down shows its chosen option, while
// innerText lists all of its options. `holders`, when given, is the set of
// elements known to contain a drop-down (so most elements skip the search).
(el, holders) => {
  if (el.namespaceURI !== 'http://www.w3.org/1999/xhtml') throw new Error('Node is not an HTMLElement');
  const dropDown = s => !s.multiple && s.size <= 1;
  const chosen = s => s.selectedIndex >= 0 ? s.options[s.selectedIndex].text : '';
  if (el.tagName === 'SELECT') return dropDown(el) ? chosen(el) : el.innerText;
  let text = el.innerText;
  if (holders ? !holders.has(el) : !el.querySelector('select')) return text;
  for (const s of el.querySelectorAll('select')) {
    const all = dropDown(s) ? s.innerText : '';
    const at = all ? text.indexOf(all) : -1;
    if (at >= 0) text = text.slice(0, at) + chosen(s) + text.slice(at + all.length);
  }
  return text;
}
