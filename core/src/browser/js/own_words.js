// An element's own words: its text nodes that hold words, and those of the
// shown inline elements inside it that are not text elements themselves
// (<b>, <em>, <code>): a heading set in bold is its container's words, and a
// container holding them is no mere wrapper of the texts inside it. Text
// elements inside it (matched by `notOwn`, as are fields and scripts) keep
// their words. Takes the element and that selector; returns the text nodes.
(el, notOwn) => {
  const words = [];
  const walk = node => {
    for (let n = node.firstChild; n; n = n.nextSibling) {
      if (n.nodeType === 3) {
        if (n.textContent.trim()) words.push(n);
      } else if (n.nodeType === 1 && n.firstChild && !n.matches(notOwn) && n.checkVisibility()) {
        walk(n);
      }
    }
  };
  walk(el);
  return words;
}
