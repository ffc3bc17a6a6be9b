// The element path /html[1]/body[1]/div[2]: lower-case tag and 1-based
// position among same-tag siblings, from the outermost element down.
// `known` (element -> path) may be shared across calls: numbering all of a
// parent's children at once keeps long lists linear instead of quadratic.
(el, known) => {
  known = known || new Map();
  const step = (node, position) => node.tagName.toLowerCase() + '[' + position + ']';
  const pathOf = node => {
    const found = known.get(node);
    if (found !== undefined) return found;
    const parent = node.parentElement;
    if (!parent) {
      // top of the document or of a shadow tree: siblings hang off a non-element
      let position = 1;
      for (let s = node.previousElementSibling; s; s = s.previousElementSibling)
        if (s.tagName === node.tagName) position++;
      known.set(node, '/' + step(node, position));
      return known.get(node);
    }
    const prefix = pathOf(parent) + '/';
    const seen = new Map();
    for (let c = parent.firstElementChild; c; c = c.nextElementSibling) {
      const position = (seen.get(c.tagName) || 0) + 1;
      seen.set(c.tagName, position);
      known.set(c, prefix + step(c, position));
    }
    return known.get(node);
  };
  return pathOf(el);
}
