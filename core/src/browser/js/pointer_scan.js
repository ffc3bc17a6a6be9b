// Short-text elements styled with a pointer cursor: custom clickables that
// carry no role. Gathered in one call, since there can be very many.
// Takes the element-path and icon-name functions; the scanner binds them
// before sending. An element showing only an icon is kept, named by it.
(elementPath, iconName) => {
  const paths = new Map();
  const results = [];
  const seen = new Set();
  for (const el of document.querySelectorAll('div, span, li, td')) {
    if (getComputedStyle(el).cursor !== 'pointer') continue;
    const words = (el.innerText || '').trim();
    const icon = words ? null : iconName(el);
    const text = words || (icon ? icon[0] : '');
    if ((!words && !icon) || text.length > 60) continue;
    if (el.querySelectorAll('*').length > 10) continue;
    const rect = el.getBoundingClientRect();
    if (rect.width <= 0 || rect.height <= 0) continue;
    const xpath = elementPath(el, paths);
    if (seen.has(xpath)) continue;
    seen.add(xpath);
    results.push({
      tag: el.tagName.toLowerCase(),
      text,
      xpath,
      x: Math.round(rect.x),
      y: Math.round(rect.y),
      w: Math.round(rect.width),
      h: Math.round(rect.height),
      cls: typeof el.className === 'string' ? el.className : '',
      aria: el.getAttribute('aria-label') || '',
      icon: !!icon,
    });
  }
  return results;
}
