// The text of a label as a person reads it: its words and the alt text of its
// images, but not what a control inside it holds (a wrapped drop-down's
// innerText lists every option; a wrapped field shows its value, not a name).
(label, control) => {
  const held = 'select, textarea, input, [contenteditable]';
  const skipped = el => el === control || el.matches(held);
  const special = el => skipped(el) || el.tagName === 'IMG';
  const holdsSpecial = el => special(el) || el.querySelector(held + ', img') !== null ||
    (!!control && el !== control && el.contains(control));
  if (!holdsSpecial(label)) return label.innerText;
  const parts = [];
  const walk = node => {
    for (let c = node.firstChild; c; c = c.nextSibling) {
      if (c.nodeType === 3) { parts.push(c.data); continue; }
      if (c.nodeType !== 1 || skipped(c)) continue;
      const style = getComputedStyle(c);
      if (style.display === 'none') continue;
      // blocks and images stand apart from the words around them
      const gap = c.tagName === 'IMG' || !style.display.startsWith('inline') ? ' ' : '';
      if (c.tagName === 'IMG') parts.push(gap + (c.getAttribute('alt') || '') + gap);
      else if (!holdsSpecial(c)) parts.push(gap + c.innerText + gap);
      else { parts.push(gap); walk(c); parts.push(gap); }
    }
  };
  walk(label);
  return parts.join('').replace(/\s+/g, ' ').trim();
}
