-- Neovim (0.7 and later) set-up for Orlimar story files: starts
-- `orlimar-check --lsp` and attaches every buffer of filetype orlimar to it.
--
--   require('orlimar').setup()                       -- checker found alone
--   require('orlimar').setup({ cmd = { '/path/to/orlimar-check', '--lsp' } })
--
-- Options: cmd (the server command), on_attach (called as
-- on_attach(client, bufnr), for key maps), capabilities.
local M = {}

local checker_name = vim.fn.has('win32') == 1 and 'orlimar-check.exe' or 'orlimar-check'

local options = {}
-- One server per story folder (the folder that holds stories/, or the
-- story's own folder), by its root.
local clients = {}
local reported_missing = false

local function is_program(path)
  return path ~= '' and vim.fn.executable(path) == 1
end

-- The folder a story belongs to: the one above stories/ when the story sits
-- in a stories/ folder, else its own.
local function story_root(bufnr)
  local dir = vim.fn.fnamemodify(vim.api.nvim_buf_get_name(bufnr), ':p:h')
  if vim.fn.fnamemodify(dir, ':t') == 'stories' then
    return vim.fn.fnamemodify(dir, ':h')
  end
  return dir
end

-- The checker: on the PATH, else beside the game (the unpacked package keeps
-- it at its top, beside stories/; a source tree builds it into
-- build/default/tools/).
local function find_checker(root)
  local on_path = vim.fn.exepath(checker_name)
  if on_path ~= '' then
    return on_path
  end
  for _, candidate in ipairs({
    root .. '/' .. checker_name,
    root .. '/build/default/tools/' .. checker_name,
  }) do
    if is_program(candidate) then
      return candidate
    end
  end
  return nil
end

local function server_command(root)
  if options.cmd then
    return options.cmd
  end
  local checker = find_checker(root)
  if checker then
    return { checker, '--lsp' }
  end
  return nil
end

local function client_for(root)
  local id = clients[root]
  if id then
    local client = vim.lsp.get_client_by_id(id)
    if client and not client.is_stopped() then
      return id
    end
    clients[root] = nil
  end
  local cmd = server_command(root)
  if not cmd then
    if not reported_missing then
      reported_missing = true
      vim.notify("orlimar : orlimar-check est introuvable (ni dans le PATH, ni à côté du jeu) ; "
        .. "donnez son chemin : require('orlimar').setup({ cmd = { '/chemin/orlimar-check', '--lsp' } })",
        vim.log.levels.ERROR)
    end
    return nil
  end
  id = vim.lsp.start_client({
    name = 'orlimar',
    cmd = cmd,
    root_dir = root,
    capabilities = options.capabilities,
    on_attach = options.on_attach,
    on_exit = function()
      if clients[root] == id then
        clients[root] = nil
      end
    end,
  })
  clients[root] = id
  return id
end

-- Attaches a story buffer to the server of its folder, starting it if needed.
function M.attach(bufnr)
  bufnr = (bufnr == nil or bufnr == 0) and vim.api.nvim_get_current_buf() or bufnr
  local id = client_for(story_root(bufnr))
  if id then
    vim.lsp.buf_attach_client(bufnr, id)
  end
  return id
end

function M.setup(opts)
  options = opts or {}
  local group = vim.api.nvim_create_augroup('orlimar_lsp', { clear = true })
  vim.api.nvim_create_autocmd('FileType', {
    group = group,
    pattern = 'orlimar',
    callback = function(args)
      M.attach(args.buf)
    end,
  })
  -- Story buffers opened before the set-up.
  for _, bufnr in ipairs(vim.api.nvim_list_bufs()) do
    if vim.api.nvim_buf_is_loaded(bufnr) and vim.bo[bufnr].filetype == 'orlimar' then
      M.attach(bufnr)
    end
  end
end

return M
