// The first step of a click by element path, in one browser call: finds the
// element at `path`, scrolls it with `scroll` and reads its text as the
// driver's inner_text() does. Null when the path finds no HTML element at
// this moment; the caller then takes the driver's own, waiting, way.
(path, scroll) => {
  const el = document.evaluate(path, document, null, XPathResult.FIRST_ORDERED_NODE_TYPE, null).singleNodeValue;
  if (!el || el.nodeType !== 1 || el.namespaceURI !== 'http://www.w3.org/1999/xhtml') return null;
  scroll(el);
  return el.innerText;
}
