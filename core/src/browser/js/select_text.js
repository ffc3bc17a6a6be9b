el => {
                    const opt = el.options[el.selectedIndex];
                    return opt ? opt.text : '';
                }
