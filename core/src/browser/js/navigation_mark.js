// Marks the document an action starts on with the action's token. The mark
// lives on the window, so a new document never carries it. The unload
// listener is added once per document and reads the current mark.
(token) => {
  let state = window.__vantleNavigation;
  if (!state) {
    state = window.__vantleNavigation = {token: 0, leaving: false};
    window.addEventListener('beforeunload', () => { state.leaving = true; }, true);
    window.addEventListener('pagehide', () => { state.leaving = true; }, true);
  }
  state.token = token;
  state.leaving = false;
  return true;
}
