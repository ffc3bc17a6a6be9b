el => el.scrollIntoView({block: 'center', behavior: 'instant'})
