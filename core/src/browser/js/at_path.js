// The first steps of an action by element path, in one browser call: finds
// the element at `path` and hands it to each of `steps` in turn, answering
// what the last one answers. Null when the path finds no HTML element at
// this moment; the caller then takes the driver's own, waiting, way.
(path, ...steps) => {
  const el = document.evaluate(path, document, null, XPathResult.FIRST_ORDERED_NODE_TYPE, null).singleNodeValue;
  if (!el || el.nodeType !== 1 || el.namespaceURI !== 'http://www.w3.org/1999/xhtml') return null;
  let answer = null;
  for (const step of steps) answer = step(el);
  return answer;
}
