"""Signing in."""


def test_standard_user_reaches_the_product_list(agent):
    agent.run('verify "Username" is visible')
    agent.run('type standard_user into "Username"')
    agent.run('type secret_sauce into "Password"')
    agent.run("press Enter")
    agent.run('verify "Products" is present')
    agent.run('verify text "Welcome back, standard_user" is visible')


def test_wrong_password_is_refused(agent):
    agent.run('type standard_user into "Username"')
    agent.run('type not-the-password into "Password"')
    agent.run('click "Log in"')
    agent.run("find text do not match any user")
    agent.run('verify "Log in" is enabled')
