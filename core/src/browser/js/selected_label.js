el => el.options[el.selectedIndex] ? el.options[el.selectedIndex].text : ''
