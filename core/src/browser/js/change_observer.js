// Resolves on the page's next DOM change, or after `ms` at the latest.
(ms) => new Promise((resolve) => {
  let timer = 0;
  const observer = new MutationObserver(() => done());
  const done = () => { observer.disconnect(); clearTimeout(timer); resolve(true); };
  observer.observe(document, {subtree: true, childList: true, attributes: true, characterData: true});
  timer = setTimeout(done, ms);
})
