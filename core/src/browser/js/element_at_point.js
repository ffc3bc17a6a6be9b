([x, y]) => document.elementFromPoint(x, y)
