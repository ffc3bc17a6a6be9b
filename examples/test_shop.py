"""Browsing, the cart and checkout."""


def test_add_products_to_the_cart(logged_in):
    agent = logged_in
    agent.run('click second "Add to cart"')
    agent.run("click first button below \"Trail Backpack\"")
    agent.run("find exact text Cart (2)")
    agent.run('verify "Added" is disabled')
    assert agent.run('extract text from "Cart"') == "Cart (2)"


def test_menu_opens_on_hover(logged_in):
    agent = logged_in
    agent.run('hover "Menu"')
    agent.run('click "Plan returns"')
    agent.run('verify text "Returns calculator" is present')


def test_checkout_shows_the_totals(logged_in):
    agent = logged_in
    agent.run('click "Add to cart"')
    agent.run('click "Add to cart"')
    agent.run('click "Cart (2)"')
    agent.run('click "Checkout"')
    agent.run('verify text next to "Item total" is $39.98')
    agent.run('verify text next to "Tax" is $3.20')
    assert agent.run('extract text next to "Total"') == "$43.18"
    agent.run('type Ada into "First Name"')
    agent.run('type Lovelace into "Last Name"')
    agent.run('select Canada from "Country"')
    agent.run('click "Finish"')
    agent.run('verify text "Thank you for your order, Ada!" is visible')


def test_checkout_needs_a_first_name(logged_in):
    agent = logged_in
    agent.run('click "Cart (0)"')
    agent.run('click "Checkout"')
    agent.run('click "Finish"')
    agent.run("find exact text First name is required")
