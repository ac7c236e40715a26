-- A minimal Neovim configuration that loads editors/vim alone, as an author
-- would: filetype detection, syntax, and the language server set-up with the
-- checker found on the PATH. ORLIMAR_VIM is the editors/vim folder.
vim.opt.runtimepath:prepend(vim.env.ORLIMAR_VIM)
vim.opt.swapfile = false
vim.opt.shadafile = 'NONE'
vim.cmd('filetype on')
vim.cmd('syntax on')
require('orlimar').setup()
