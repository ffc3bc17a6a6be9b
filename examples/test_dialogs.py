"""Native dialogs stay open until a step handles them."""


def test_keep_the_cart_when_the_delete_is_dismissed(logged_in):
    agent = logged_in
    agent.run('click "Add to cart"')
    agent.run('click "Cart (1)"')
    agent.run('click "Delete"')
    agent.run('verify dialog says "Remove every item"')
    agent.run("dismiss dialog")
    agent.run('verify text "Kept" is present')
    agent.run('verify text "Trail Backpack" is present')


def test_empty_the_cart_when_the_delete_is_accepted(logged_in):
    agent = logged_in
    agent.run('click "Add to cart"')
    agent.run('click "Cart (1)"')
    agent.run('click "Delete"')
    assert agent.run("accept dialog") == "Remove every item from the cart?"
    agent.run('verify text "Deleted" is present')
    agent.run('verify text "Your cart is empty" is visible')


def test_answer_a_prompt(agent, shop_url):
    agent.run(f"navigate {shop_url}cart.html")
    agent.run('click "Send as a gift"')
    agent.run("accept dialog")
    agent.run('verify text "Gift for a friend" is present')
