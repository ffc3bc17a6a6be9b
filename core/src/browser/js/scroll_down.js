// Scrolls the area under the middle of the window, else the page, by most of
// what shows of it: the way a reader pages down a list that loads as it goes.
() => {
  const scrolls = (el) => {
    const overflow = getComputedStyle(el).overflowY;
    return (overflow === 'auto' || overflow === 'scroll') && el.scrollHeight > el.clientHeight;
  };
  let el = document.elementFromPoint(window.innerWidth / 2, window.innerHeight / 2);
  while (el && el !== document.body && el !== document.documentElement && !scrolls(el)) el = el.parentElement;
  if (el && el !== document.body && el !== document.documentElement) {
    el.scrollBy({top: el.clientHeight * 0.8, behavior: 'instant'});
  } else {
    window.scrollBy({top: window.innerHeight * 0.8, behavior: 'instant'});
  }
}
